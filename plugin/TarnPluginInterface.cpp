#include <vocelle/plugin/TarnPluginInterface.h>

#include <dlfcn.h>

namespace vocelle {

namespace tarn {

HXGetVersionOfCorvane hxGetVersionOfCorvane = nullptr;
HXShowLogTab hxShowLogTab = nullptr;
HXLogText hxLogText = nullptr;
HXMessageBox hxMessageBox = nullptr;
HXGetOpenFileName hxGetOpenFileName = nullptr;

} // namespace tarn

namespace {

void clearTable() {
    tarn::hxGetVersionOfCorvane = nullptr;
    tarn::hxShowLogTab = nullptr;
    tarn::hxLogText = nullptr;
    tarn::hxMessageBox = nullptr;
    tarn::hxGetOpenFileName = nullptr;
}

// dlsym hands back an object pointer; converting it to a function pointer is what POSIX
// guarantees to work.
template <typename Function>
Function lookUp(void* process, const char* name) {
    return reinterpret_cast<Function>(dlsym(process, name));
}

} // namespace

bool InitHXAccess() {
    clearTable();
    void* process = dlopen(nullptr, RTLD_LAZY);
    if (process == nullptr) return false;

    tarn::hxGetVersionOfCorvane = lookUp<tarn::HXGetVersionOfCorvane>(process, "hxGetVersionOfCorvane");
    if (tarn::hxGetVersionOfCorvane == nullptr) {
        dlclose(process);
        return false;
    }
    // The remaining functions are optional: a missing one stays null and is skipped by callers.
    tarn::hxShowLogTab = lookUp<tarn::HXShowLogTab>(process, "hxShowLogTab");
    tarn::hxLogText = lookUp<tarn::HXLogText>(process, "hxLogText");
    tarn::hxMessageBox = lookUp<tarn::HXMessageBox>(process, "hxMessageBox");
    tarn::hxGetOpenFileName = lookUp<tarn::HXGetOpenFileName>(process, "hxGetOpenFileName");
    dlclose(process);
    return true;
}

bool checkVersionGreaterEqualVersion(int major, int minor, int sub, int requiredMajor,
                                     int requiredMinor, int requiredSub) {
    if (major != requiredMajor) return major > requiredMajor;
    if (minor != requiredMinor) return minor > requiredMinor;
    return sub >= requiredSub;
}

} // namespace vocelle
