#include "client/request.hpp"

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "wire/protocol.hpp"

namespace tarnwick::client {
namespace {

nlohmann::json action_document(std::string_view action) {
  return {{std::string(wire::kMemberAction), std::string(action)}};
}

struct ActionDocument {
  nlohmann::json operator()(const ListStartupEntries&) const { return action_document(wire::kActionStartupHklmList); }
  nlohmann::json operator()(const CleanSystem&) const { return action_document(wire::kActionCleanSystem); }
  nlohmann::json operator()(const SetStartupEnabled& set) const {
    nlohmann::json document = action_document(wire::kActionStartupHklmSet);
    document[std::string(wire::kMemberArgs)] = {{std::string(wire::kMemberName), set.name},
                                                {std::string(wire::kMemberEnabled), set.enabled}};
    return document;
  }
};

}  // namespace

Outcome<std::string> request_json(const ClientRequest& request) {
  nlohmann::json document;
  document[std::string(wire::kMemberAction)] = std::visit(ActionDocument{}, request);
  try {
    // strict: text that is not UTF-8 is refused here, not sent altered
    return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
  } catch (const nlohmann::json::type_error&) {
    return client_error(ErrorKind::InvalidRequest, "the startup entry name is not valid UTF-8 text");
  }
}

Outcome<std::string> request_hex(const ClientRequest& request) {
  auto json = request_json(request);
  if (!json) return Err{std::move(json).error()};
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(json.value().size() * 2);
  for (const char c : json.value()) {
    const auto byte = static_cast<unsigned char>(c);
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

}  // namespace tarnwick::client
