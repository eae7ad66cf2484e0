# "dusk -md5 FILE" prints the digest that md5sum gives, for the RFC 1321
# messages, padding boundaries and a file read in more than one piece, and
# says why when there is no digest; the exit status is 0 in every case.
. "$(dirname "$0")/lib/common.sh"
install_dusk
run_dusk -confinit
expect_eq "$status" 0 "-confinit status"
# The first logging command would announce the new log directory.
mkdir -p /etc/kesta/dusk/log

dir=$(mktemp -d /tmp/kesta/md5.XXXXXX)
printf '' > "$dir/empty"
printf 'a' > "$dir/a"
printf 'abc' > "$dir/abc"
printf 'message digest' > "$dir/message digest"
printf 'abcdefghijklmnopqrstuvwxyz' > "$dir/alphabet"
printf 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789' > "$dir/alphanumeric"
for i in 1 2 3 4 5 6 7 8; do printf '1234567890'; done > "$dir/digits"
for n in 55 56 63 64 65; do head -c $n /dev/urandom > "$dir/bytes$n"; done
head -c $((2 * 1024 * 1024 + 4321)) /dev/urandom > "$dir/large"

for file in "$dir"/*; do
  expected=$(md5sum < "$file" | cut -d' ' -f1)
  run_dusk -md5 "$file"
  expect_eq "$status" 0 "status for $file"
  expect_eq "$out" "  Info: MD5 for $file is $expected" "output for $file"
done
expect_eq "$(md5sum < "$dir/abc" | cut -d' ' -f1)" 900150983cd24fb0d6963f7d28e17f72 "md5sum of abc"

# No digest is a failed command; its Error line reaches standard error too.
run_dusk -md5 "$dir/missing"
expect_eq "$status" 1 "status for a missing file"
expect_eq "$out" "  Warn: Filename specified $dir/missing does not exist" "missing file"

run_dusk -md5 "$dir"
expect_eq "$status" 1 "status for a directory"
expect_eq "$out" " Error: Failed to generate MD5 for file $dir" "directory"
expect_contains "$err" " Error: Failed to generate MD5 for file $dir" "directory on stderr"

run_dusk -md5 ""
expect_eq "$status" 1 "status with an empty file name"
expect_eq "$out" "  Warn: Must specify a filename" "empty file name"
# Without its value the option is refused before it runs.
run_dusk -md5
expect_eq "$status" 254 "status without a file"
expect_eq "$err" " Error: Missing value for option -md5" "no file"
echo PASS
