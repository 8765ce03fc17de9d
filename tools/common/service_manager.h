// Service manager: starts the server's system service by its service name.
#pragma once

namespace corvane {

enum class ServiceStartResult {
  kStarted,           // started now, or already running
  kNoServiceManager,  // the service manager cannot be reached
  kCannotOpen,        // the service is unknown or cannot be opened for starting
  kCannotStart,       // starting failed for any reason but the service already running
};

// Starts the service named `service_name` (the Windows service name, e.g. "Corvane Server").
ServiceStartResult StartSystemService(const char* service_name);

}  // namespace corvane
