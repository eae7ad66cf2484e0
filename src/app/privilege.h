#ifndef DUSK_APP_PRIVILEGE_H_
#define DUSK_APP_PRIVILEGE_H_

// Who may run what. The service and the commands that write its files or
// control it act for root: run by another user they would get as far as
// the server (a registration whose DN cannot be stored) before the first
// file refused them, so they are refused before they begin.

#include <sys/types.h>

#include <optional>
#include <string>

#include "app/options.h"

namespace dusk {

/// The effective user id that RootRefusal sees: geteuid(), unless a test
/// has put another in place.
uid_t EffectiveUid();

/// Test seam: EffectiveUid() returns |uid| from now on (nullopt: the
/// process's own again), so that a test of the check runs as any user.
void SetEffectiveUidForTesting(std::optional<uid_t> uid);

/// True when what |options| runs needs root: the start of the service,
/// "-confinit", "-confupdate", "-instagent", "-uninstagent" and the control
/// commands ("-stop", "-pause", "-resume", "-interrupt", whose signals only
/// reach a service of root's).
bool CommandNeedsRoot(const Options& options);

/// The line that refuses |options| to a user other than root, naming root
/// and the user's id; "" when it may run.
std::string RootRefusal(const Options& options);

}  // namespace dusk

#endif  // DUSK_APP_PRIVILEGE_H_
