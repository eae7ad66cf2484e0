#ifndef DUSK_UTIL_PRODUCT_H_
#define DUSK_UTIL_PRODUCT_H_

namespace dusk {

/// Name of the product suite, as it appears in start-up and exit lines.
inline constexpr char kProductName[] = "KESTA Quillfarm";
/// Name of this program's service, the prefix of every log file line.
inline constexpr char kServiceName[] = "KESTA-DUSK";

/// Build version texts, also sent to the server in every request.
inline constexpr char kDuskMajor[] = "7";
inline constexpr char kDuskMinor[] = "8";
inline constexpr char kDuskBuild[] = "33";
inline constexpr char kDuskRevision[] = "1";

}  // namespace dusk

#endif  // DUSK_UTIL_PRODUCT_H_
