#pragma once
// Mesa unloads its driver libraries when the last context goes, and the allocations they keep
// for the life of the process then look leaked to LeakSanitizer (with stacks that name no
// module). Marking the loaded driver libraries "no delete" keeps them, and the globals that
// still point at those allocations, in place: no suppression list is needed.

#include <dlfcn.h>
#include <link.h>

#include <string>

namespace kestrin::testing {

inline void KeepDriverLibrariesLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const std::string path = info->dlpi_name ? info->dlpi_name : "";
            for (const char* part : {"/dri/", "mesa", "LLVM", "glapi", "gallium"})
                if (path.find(part) != std::string::npos) {
                    if (void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(h);
                    break;
                }
            return 0;
        },
        nullptr);
}

} // namespace kestrin::testing
