#include "elevate/protocol/request.hpp"

namespace tarnwick {

const char* wire_name(const HelperAction& action) {
  struct Visitor {
    const char* operator()(const CleanSystem&) const { return "clean-system"; }
    const char* operator()(const StartupHklmList&) const { return "startup-hklm-list"; }
    const char* operator()(const StartupHklmSet&) const { return "startup-hklm-set"; }
  };
  return std::visit(Visitor{}, action);
}

}  // namespace tarnwick
