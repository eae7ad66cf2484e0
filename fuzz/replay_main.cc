// Replays a fuzz target's corpus without libFuzzer: every file named on the
// command line, or found in a directory named there, is fed to the target
// once. A crash or a sanitizer report fails the test run.

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "util/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void CollectInputs(const std::string& path, std::vector<std::string>* inputs) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    inputs->push_back(path);
    return;
  }
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    CollectInputs(path + "/" + name, inputs);
  }
  closedir(dir);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) CollectInputs(argv[i], &inputs);
  if (inputs.empty()) {
    fprintf(stderr, "no corpus inputs found\n");
    return 1;
  }
  for (const std::string& input : inputs) {
    std::string data;
    if (!dusk::ReadWholeFile(input, &data)) {
      fprintf(stderr, "cannot read %s\n", input.c_str());
      return 1;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }
  printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
