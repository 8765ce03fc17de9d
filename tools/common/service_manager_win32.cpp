// Service manager on Windows: the service control manager of the local machine.
#include <windows.h>

#include "service_manager.h"

namespace corvane {

ServiceStartResult StartSystemService(const char* service_name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return ServiceStartResult::kNoServiceManager;
  SC_HANDLE service = OpenServiceA(manager, service_name, SERVICE_START);
  if (service == nullptr) {
    CloseServiceHandle(manager);
    return ServiceStartResult::kCannotOpen;
  }
  ServiceStartResult result = ServiceStartResult::kStarted;
  if (!StartServiceA(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
    result = ServiceStartResult::kCannotStart;
  }
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return result;
}

}  // namespace corvane
