#ifndef DUSK_UTIL_PROGRAM_H_
#define DUSK_UTIL_PROGRAM_H_

// Facts about the running program that every part may need: where it
// lives, which version it is and which operating system it reports. They
// are set once at start-up and never change, so they live at the bottom
// where the device, the server and the service modules can all read them.
// The program's directory goes into the layout (util/layout.h).

#include <string>
#include <string_view>

namespace dusk {

/// Full path of the running executable; set once at start-up.
extern std::string cmdPath;

/// Finds the running executable: the exe link of the own process under
/// |proc_root|, else |argv0| (taken as is when absolute, else joined to the
/// current directory with a leading "./" dropped). |install_path_out| (may
/// be null) receives the directory part, "." when there is none.
void GetProgramPaths(const std::string& proc_root, const char* argv0,
                     std::string* cmd_path_out, std::string* install_path_out);

/// The executable's path worked out from |argv0| alone: as is when it is
/// absolute, else |cwd| + "/" + argv0 with a leading "./" dropped; "" for an
/// empty argv0.
std::string CommandPathFromArgv0(std::string_view argv0, const std::string& cwd);

/// The four version texts "7", "8", "33", "1". Null outputs are skipped.
bool GetBuildVersion(std::string* major, std::string* minor, std::string* build,
                     std::string* revision);

/// The operating-system id this program reports.
inline constexpr int kOSTypeId = 53;
/// Name of an operating-system id; an unknown id gives "Unsupported".
const char* OSTypeName(int id);
/// Fills |name| with the reported operating-system name; returns its id.
int GetOSName(std::string* name);

}  // namespace dusk

#endif  // DUSK_UTIL_PROGRAM_H_
