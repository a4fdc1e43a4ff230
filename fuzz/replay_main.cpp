// Runs a fuzz target over files and directories of inputs, for the tests (the corpus seeds and
// every input that ever made a target fail).
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size);

namespace {

void replay_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  std::printf("replaying %s\n", path.c_str());
  LLVMFuzzerTestOneInput(data.data(), data.size());
}

void replay(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return;
  if (!S_ISDIR(status.st_mode)) {
    replay_file(path);
    return;
  }
  DIR* directory = opendir(path.c_str());
  std::vector<std::string> names;
  while (dirent* entry = directory ? readdir(directory) : nullptr) {
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  }
  if (directory) closedir(directory);
  for (const std::string& name : names) replay(path + "/" + name);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) replay(argv[i]);
  return 0;
}
