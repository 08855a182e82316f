// The window library's one entry point, which the program finds by name once it has found a display.
#include <type_traits>

#include "HostApp.h"
#include "WindowLibrary.h"

extern "C" Q_DECL_EXPORT int QuintarWindowMain(int* argc, char** argv)
{
    return quintar::CHostApp::Main(*argc, argv);
}
static_assert(std::is_same_v<decltype(&QuintarWindowMain), QuintarWindowMainFn>);
