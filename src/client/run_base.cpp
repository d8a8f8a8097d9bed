#include "client/run_base.hpp"

namespace tarnwick::client {

RunFolderPlan plan_run_folder(bool administrator, std::string_view user_sid) {
  // The owner is Administrators too: an owner may always change the list.
  if (administrator) return RunFolderPlan{RunBase::WindowsDirectory, std::string(kAdministratorsOnlySddl)};
  // The helper writes as that user: nobody else needs in. The owner is the
  // token's default, the user.
  return RunFolderPlan{RunBase::UserLocalAppData, "D:P(A;OICI;FA;;;" + std::string(user_sid) + ")"};
}

std::optional<RunBaseProblem> find_run_base_problem(std::vector<PathComponent> from_base_up, std::uint32_t volume_flags,
                                                    const UserIdentity& user) {
  if ((volume_flags & kVolumePersistentAcls) == 0) return RunBaseProblem{RunBaseProblem::Kind::NoPersistentAcls, {}};
  for (std::size_t i = 0; i < from_base_up.size(); ++i) {
    from_base_up[i].role = i == 0 ? PathComponent::Role::HelperFolder : PathComponent::Role::Above;
  }
  auto found = find_replaceable(from_base_up, user);
  if (!found) return std::nullopt;
  return RunBaseProblem{RunBaseProblem::Kind::Changeable, std::move(found)};
}

std::string describe_run_base_problem(const RunBaseProblem& problem, std::string_view base_path, std::string_view who) {
  if (problem.kind == RunBaseProblem::Kind::NoPersistentAcls || !problem.found) {
    return std::string(base_path) + " is on a volume that keeps no access lists (anyone may change it)";
  }
  return describe_replaceable(*problem.found, who);
}

}  // namespace tarnwick::client
