#!/usr/bin/env bash
# Builds, or finds in the machine's cache, the Debian 12 guest that runs the 32-bit
# Windows build's tests under 32-bit Wine (used by scripts/wine/run-vm.sh).
# Usage: guest-image.sh       prints the guest's cache folder on stdout
#
# The guest is a debootstrap'ed minimal bookworm root (amd64 with i386 added; wine,
# wine32, wine64, ctest, kmod, busybox), the kernel of linux-image-amd64 unpacked into it,
# and nothing from the security archive: its i386 index is the one that fails to fetch,
# and without it amd64 and i386 package versions stay equal. The folder holds:
#   root/           the root filesystem (chroot where the host kernel runs 32-bit code)
#   vmlinuz         the guest kernel; root/lib/modules/ has its modules
#   initrd.gz       the virtual machine's initramfs
#   versions        the versions of the packages that matter, one "name version" a line
#   ready           written last: the folder is complete
# The cache key is a hash of this script and the mirror's bookworm release date: a point
# release (new package versions) or a change here makes a new folder; the older ones are
# removed once the new one is ready. Every download step is retried once, then fails
# naming the step. Runs as root (debootstrap, chroot).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mirror=${VTM_GUEST_MIRROR:-http://deb.debian.org/debian}
cache=${VTM_GUEST_CACHE:-/var/cache/vtmrt-guest}
suite=bookworm
packages=(wine wine32:i386 wine64 cmake kmod busybox-static)

say() { echo "guest-image: $*" >&2; }
fail() { say "FAILED: $*"; exit 1; }

# retry STEP COMMAND...: runs a download step, once more after a pause if it fails.
retry() {
  local step=$1
  shift
  "$@" && return 0
  say "$step failed; retrying once in 20 s"
  sleep 20
  "$@" || fail "$step (twice; the package mirror $mirror may be out of reach or out of sync)"
}

# in_root COMMAND...: runs a command in the root with /proc and /dev, in a private mount
# namespace so that nothing stays mounted when it ends.
in_root() {
  unshare --mount --propagation private --fork -- /bin/sh -ec '
    root=$1; shift
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
      DEBIAN_FRONTEND=noninteractive "$@"' in_root "$root" "$@"
}

[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap and chroot)"
command -v debootstrap >/dev/null || fail "debootstrap is not installed (scripts/deps.sh guest)"

release_date=$(curl -fsS --max-time 30 --retry 1 "$mirror/dists/$suite/InRelease" |
  sed -n 's/^Date: //p') || release_date=""
script_hash=$(sha256sum "$0" | cut -c1-12)
mkdir -p "$cache"
if [ -z "$release_date" ]; then
  # Offline: any complete guest made by this script will do.
  ready=$(ls -td "$cache"/"$suite"-"$script_hash"-*/ready 2>/dev/null | head -n 1) || true
  [ -n "$ready" ] || fail "cannot read $mirror/dists/$suite/InRelease and no guest is cached"
  dirname "$ready"
  exit 0
fi
key=$suite-$script_hash-$(printf '%s' "$release_date" | sha256sum | cut -c1-12)
dir=$cache/$key

exec 8>"$cache/lock"
flock -w 1800 8 || fail "another guest build holds $cache/lock"
if [ -f "$dir/ready" ]; then
  echo "$dir"
  exit 0
fi

t0=$SECONDS
root=$dir/root
# A build stopped after debootstrap resumes from there (the package steps are idempotent).
if [ ! -f "$dir/debootstrap.done" ]; then
  rm -rf "$dir"
  mkdir -p "$dir"
  say "debootstrap $suite into $root"
  bootstrap() {
    rm -rf "$root"
    debootstrap --variant=minbase --arch=amd64 "$suite" "$root" "$mirror" \
      >"$dir/debootstrap.log" 2>&1 || { tail -n 5 "$dir/debootstrap.log" >&2; return 1; }
  }
  retry debootstrap bootstrap
  touch "$dir/debootstrap.done"
  say "debootstrap: $((SECONDS - t0)) s"
fi

t1=$SECONDS
printf 'deb %s %s main\n' "$mirror" "$suite" >"$root/etc/apt/sources.list"
printf 'APT::Install-Recommends "false";\nAcquire::Retries "2";\n' \
  >"$root/etc/apt/apt.conf.d/90vtm-guest"
in_root dpkg --add-architecture i386
install_packages() {
  in_root apt-get update -qq >"$dir/apt.log" 2>&1 &&
    in_root apt-get install -y -qq "${packages[@]}" >>"$dir/apt.log" 2>&1 ||
    { grep -E '^(E|W|Err):' "$dir/apt.log" | tail -n 5 >&2; return 1; }
}
retry "installing ${packages[*]}" install_packages

# The kernel: the package linux-image-amd64 points at, unpacked (not installed: no
# initramfs-tools, no boot loader); run-vm.sh makes its own small initramfs.
kernel_pkg=$(in_root apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)/\1/p' | head -n 1)
[ -n "$kernel_pkg" ] || fail "linux-image-amd64 names no kernel package"
fetch_kernel() {
  rm -rf "$dir/kernel" "$root/root/"*.deb
  in_root sh -c "cd /root && apt-get download -qq -o APT::Sandbox::User=root $kernel_pkg" &&
    dpkg-deb -x "$root/root/$kernel_pkg"_*.deb "$dir/kernel"
}
retry "downloading $kernel_pkg" fetch_kernel
kernel_version=${kernel_pkg#linux-image-}
# The package's files are under /lib, which is a link to /usr/lib in the root: unpacking
# it there directly would replace the link by a folder.
mkdir -p "$root/usr/lib/modules"
rm -rf "$root/usr/lib/modules/$kernel_version"
mv "$dir/kernel/lib/modules/$kernel_version" "$root/usr/lib/modules/"
mv "$dir/kernel/boot/vmlinuz-$kernel_version" "$dir/vmlinuz"
rm -rf "$dir/kernel"
in_root depmod "$kernel_version"
in_root apt-get clean
say "packages and kernel: $((SECONDS - t1)) s"

# The initramfs of the virtual machine: busybox, the modules for the virtio disk, ext4 and
# 9p (the shared source tree) in the order modprobe resolves them, and the init below.
cat >"$root/vtm-init" <<'INIT'
#!/bin/busybox sh
# PID 1 of the guest: loads the modules, mounts the root disk (/dev/vda) and the host's
# source tree (9p tag "src") at its host path (vtm.src= on the kernel command line), then
# runs that tree's build/.../guest/command in the root and restarts the machine, which
# makes qemu (-no-reboot) exit.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for ko in $(cat /modules/order); do insmod /modules/$ko; done
echo "vtm-guest: kernel up"
src="" command=""
for arg in $(cat /proc/cmdline); do
  case "$arg" in
    vtm.src=*) src=${arg#vtm.src=} ;;
    vtm.command=*) command=${arg#vtm.command=} ;;
  esac
done
halt_now() { echo "vtm-guest: $1"; sync; reboot -f; sleep 10; exit 1; }
mount -t ext4 /dev/vda /newroot || halt_now "cannot mount the root disk"
mkdir -p "/newroot$src"
# cache=mmap: Wine maps the programs' files, and 9p without a cache keeps no pages of
# mapped files.
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=mmap src "/newroot$src" ||
  halt_now "cannot mount the shared tree at $src"
mount -t tmpfs tmpfs /newroot/tmp
mount --move /proc /newroot/proc
mount --move /sys /newroot/sys
mount --move /dev /newroot/dev
mkdir -p /newroot/dev/shm /newroot/dev/pts
# devtmpfs has no /dev/fd: bash's process substitution (the tests' diffs) needs it.
ln -sf /proc/self/fd /newroot/dev/fd
ln -sf /proc/self/fd/0 /newroot/dev/stdin
ln -sf /proc/self/fd/1 /newroot/dev/stdout
ln -sf /proc/self/fd/2 /newroot/dev/stderr
mount -t tmpfs tmpfs /newroot/dev/shm
mount -t devpts devpts /newroot/dev/pts
echo "vtm-guest: running $command"
chroot /newroot /bin/sh "$command"
echo "vtm-guest: command ended with status $?"
halt_now "restarting"
INIT
cat >"$root/vtm-mkinitramfs" <<'MKINITRAMFS'
set -e
version=$1
shift
rm -rf /tmp/initramfs
mkdir -p /tmp/initramfs/bin /tmp/initramfs/newroot /tmp/initramfs/proc /tmp/initramfs/sys \
  /tmp/initramfs/dev /tmp/initramfs/modules
cp /bin/busybox /tmp/initramfs/bin/busybox
modprobe -a -S "$version" --show-depends "$@" | sed -n 's/^insmod \([^ ]*\).*/\1/p' |
  awk '!seen[$0]++' >/tmp/modules
while read -r ko; do
  cp "$ko" /tmp/initramfs/modules/
  basename "$ko" >>/tmp/initramfs/modules/order
done </tmp/modules
cp /vtm-init /tmp/initramfs/init
chmod +x /tmp/initramfs/init
cd /tmp/initramfs
find . | busybox cpio -o -H newc 2>/dev/null | gzip -1 >/vtm-initrd.gz
MKINITRAMFS
in_root sh /vtm-mkinitramfs "$kernel_version" virtio_pci virtio_blk ext4 crc32c_generic 9p \
  9pnet_virtio </dev/null >"$dir/initramfs.log" 2>&1 || fail "initramfs (see $dir/initramfs.log)"
mv "$root/vtm-initrd.gz" "$dir/initrd.gz"
rm -f "$root/vtm-init" "$root/vtm-mkinitramfs"

in_root dpkg-query -W -f '${Package}:${Architecture} ${Version}\n' wine wine32 wine64 \
  libwine:i386 cmake busybox-static >"$dir/versions"
in_root dpkg-deb -f "/root/$(basename "$root/root/$kernel_pkg"_*.deb)" Package Version |
  sed 's/^[A-Za-z]*: //' | paste -sd' ' >>"$dir/versions"
rm -f "$root/root/"*.deb
touch "$dir/ready"
for old in "$cache"/"$suite"-*/; do
  [ "${old%/}" = "$dir" ] || rm -rf "$old"
done
say "guest ready in $((SECONDS - t0)) s: $dir"
echo "$dir"
