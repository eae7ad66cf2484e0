#ifndef DUSK_APP_MD5_COMMAND_H_
#define DUSK_APP_MD5_COMMAND_H_

#include <string>

namespace dusk {

/// The "-md5" command: prints "MD5 for FILE is DIGEST" (Info), or why there
/// is no digest: "Must specify a filename" or "Filename specified %s does
/// not exist" (Warn), "Failed to generate MD5 for file %s" (Error). Every
/// line also goes to the console. True when a digest was printed.
bool MD5FileDigest(const std::string& file);

}  // namespace dusk

#endif  // DUSK_APP_MD5_COMMAND_H_
