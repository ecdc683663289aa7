#pragma once
// The plug-in base class the host drives, and the table of host functions the plug-in calls.

namespace vocelle {

// The host calls a plug-in object only through these slots, in this order:
// destructor, execute, initPlugin. Do not add, remove or reorder virtual functions.
class TarnPluginInterface {
public:
    virtual ~TarnPluginInterface() {}
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};

// Host functions are looked up by name in the running process. The pointers live in their own
// namespace and are hidden, so a lookup of "hxLogText" can only ever find the host's function,
// never this variable. A pointer that stayed null means the host does not offer the function;
// it must not be called.
namespace tarn {

using HXGetVersionOfCorvane = void (*)(int* major, int* minor, int* sub);
using HXShowLogTab = void (*)();
using HXLogText = void (*)(const char* text);
using HXMessageBox = void (*)(const char* text);
// title, a second text (always empty), filter, and a result buffer of fileNameBufferSize bytes.
using HXGetOpenFileName = void (*)(const char* title, const char* second, const char* filter,
                                   char* result);

constexpr int fileNameBufferSize = 512;

extern HXGetVersionOfCorvane hxGetVersionOfCorvane;
extern HXShowLogTab hxShowLogTab;
extern HXLogText hxLogText;
extern HXMessageBox hxMessageBox;
extern HXGetOpenFileName hxGetOpenFileName;

} // namespace tarn

// Binds the host function table. False, with every pointer null, when the running process
// cannot be opened for lookup or does not offer hxGetVersionOfCorvane.
bool InitHXAccess();

// True when version major.minor.sub is at least requiredMajor.requiredMinor.requiredSub,
// comparing each part as a number.
bool checkVersionGreaterEqualVersion(int major, int minor, int sub, int requiredMajor,
                                     int requiredMinor, int requiredSub);

} // namespace vocelle
