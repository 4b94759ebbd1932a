// Gives every test process a runtime folder of its own, so that tests running
// side by side do not see each other's windows. Programs a test starts
// inherit it.

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

std::string g_folder;

void RemoveFolder() {
  if (DIR* d = ::opendir(g_folder.c_str())) {
    while (dirent* de = ::readdir(d)) {
      std::string name = de->d_name;
      if (name != "." && name != "..") ::unlink((g_folder + "/" + name).c_str());
    }
    ::closedir(d);
  }
  ::rmdir(g_folder.c_str());
}

const bool g_isolated = [] {
  char tmpl[] = "/tmp/vyre-test-XXXXXX";
  if (::mkdtemp(tmpl) == nullptr) return false;
  g_folder = tmpl;
  ::setenv("VYRE_LUMO_RUNTIME_DIR", tmpl, 1);
  std::atexit(RemoveFolder);  // runs after the window layer removed its own files
  return true;
}();

}  // namespace
