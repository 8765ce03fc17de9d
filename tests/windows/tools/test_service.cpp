// A stand-in for the server's Windows service in the launcher's tests: once started, it
// reports itself running and, three seconds later, stores its host name (the first
// command-line argument of its image path) as instance 0's "hostname", as the server does.
// It runs until it is told to stop.
#include <windows.h>

#include <string>

#include "registry_store.h"

namespace {

char kServiceName[] = "Corvane Server";
constexpr DWORD kHostNameDelayMs = 3000;

SERVICE_STATUS_HANDLE status_handle = nullptr;
HANDLE stop_event = nullptr;
std::string host_name = "localhost";

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(status_handle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(stop_event);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
  status_handle = RegisterServiceCtrlHandlerExA(kServiceName, Control, nullptr);
  if (status_handle == nullptr) return;
  stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_RUNNING);
  if (WaitForSingleObject(stop_event, kHostNameDelayMs) == WAIT_TIMEOUT) {
    corvane::SetStringValue(0, "hostname", host_name.c_str());
    WaitForSingleObject(stop_event, INFINITE);
  }
  Report(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) host_name = argv[1];
  SERVICE_TABLE_ENTRYA table[] = {{kServiceName, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
