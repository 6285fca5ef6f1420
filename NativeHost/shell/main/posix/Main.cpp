#include "platform/StandardStreams.h"
#include "platform/TextConversion.h"
#include "shell/CommandLine.h"
#include "shell/EarlyStartup.h"
#include "shell/FatalReport.h"
#include "shell/HostContext.h"
#ifdef KES_LINUX_DESKTOP
#include "shell/gtk/LinuxDesktop.h"
#endif

#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    kes::HostContext& context = kes::hostContext();
    std::vector<std::wstring> words;
    for (int i = 0; i < argc; ++i) {
        try {
            words.push_back(kes::toWide(argv[i]));
        } catch (const std::exception&) {
            words.emplace_back(); // a word that is no UTF-8 names no mode
        }
    }
    context.options = kes::parseCommandLine(words);
    try {
        const kes::EarlyStartupOutcome early = kes::runEarlyStartup(context);
        if (early.exitCode) {
            return *early.exitCode;
        }
#ifdef KES_LINUX_DESKTOP
        return kes::gtk::runLinuxDesktop(context, *early.directories, argc, argv);
#else
        kes::platform::writeStandardError("Kestrava：桌面窗口尚未实现，只能运行命令行模式。\n");
        return 1;
#endif
    } catch (const std::exception& e) {
        kes::reportFatal(e.what());
        return 1;
    }
}
