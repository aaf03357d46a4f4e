// The graphics driver's start on Linux. Mesa's driver (with LLVM, for the
// software renderer) is a large library whose loading takes 15 to 40 ms;
// GLX loads it only when SDL makes the window's GL context, on the viewer's
// thread. A thread of ours loads it while SDL connects to the display, so
// that GLX finds it loaded; the dynamic loader serialises the two loads, so
// a load still running when GLX asks is only waited for.
//
// Honoured:
//  - startLoadingGraphicsDriver: loads Mesa's GLX library and its driver
//    from the `dri` folder beside it (the folder named first in
//    LIBGL_DRIVERS_PATH when that is set). Mesa's drivers share one body
//    (one file under several names, or small libraries over one shared
//    library), so the software renderer's name loads what every driver of
//    that Mesa runs on. With OLVISTRA_TRACE set it marks "graphics driver
//    loaded ahead" once the driver is in.
// Not supported: loading another vendor's driver. With
// __GLX_VENDOR_LIBRARY_NAME naming another vendor (NVIDIA's), or without
// Mesa, nothing is loaded and the context loads its driver itself.
#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>

#include "platform/graphics_driver.h"
#include "util/trace.h"

namespace {

// The folder of drivers beside Mesa's GLX library, or "" without it.
std::string folderBesideMesaGlx() {
    void* glx = dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!glx) return std::string();
    link_map* map = nullptr;
    if (dlinfo(glx, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return std::string();
    std::string library = map->l_name;
    size_t slash = library.rfind('/');
    return slash == std::string::npos ? std::string() : library.substr(0, slash) + "/dri";
}

// The handles are never closed: GLX holds the same libraries open for as
// long as the viewer runs.
void loadDriver(std::string folder) {
    if (folder.empty()) folder = folderBesideMesaGlx();
    if (folder.empty()) return;
    if (dlopen((folder + "/swrast_dri.so").c_str(), RTLD_NOW | RTLD_LOCAL)) trace::mark("graphics driver loaded ahead");
}

}  // namespace

void startLoadingGraphicsDriver() {
    static bool started = false;
    if (started) return;
    started = true;
    // The environment is read here, on the viewer's thread, not beside it.
    const char* vendor = std::getenv("__GLX_VENDOR_LIBRARY_NAME");
    if (vendor && *vendor && std::string(vendor) != "mesa") return;
    const char* paths = std::getenv("LIBGL_DRIVERS_PATH");
    std::string folder = paths ? std::string(paths).substr(0, std::string(paths).find(':')) : std::string();
    try {
        std::thread(loadDriver, folder).detach();
    } catch (const std::system_error&) {
        // No thread: GLX loads the driver when the context is made.
    }
}
