#include "shell/EarlyStartup.h"

#include "diagnostics/OldReports.h"
#include "diagnostics/SelfCheck.h"
#include "diagnostics/WebView2DetectionTest.h"
#include "platform/EmbeddedResources.h"
#include "platform/StandardStreams.h"
#include "storage/DataDirectories.h"
#include "webhost/ResourceServer.h"

#include <stdexcept>

namespace kes {
namespace {

void requireEmbeddedResources() {
    for (const ResourceRoute& route : routeTable) {
        const auto bytes = platform::findEmbeddedResource(route.resourceId);
        if (!bytes) {
            throw std::runtime_error(missingResourceMessage);
        }
        if (bytes->empty()) {
            throw std::runtime_error("内嵌资源为空");
        }
    }
    const auto licenses = platform::findEmbeddedResource(licenseResourceId);
    if (!licenses) {
        throw std::runtime_error(missingResourceMessage);
    }
    if (licenses->empty()) {
        throw std::runtime_error("许可证缺失");
    }
}

} // namespace

EarlyStartupOutcome runEarlyStartup(HostContext& context) {
    const CommandLineOptions& options = context.options;
    if (options.printLicenses) {
        platform::writeStandardOutput(loadEmbeddedResource(licenseResourceId));
        return {0, std::nullopt};
    }

    const DataDirectories directories =
        DataDirectories::fromEnvironment(options.startupCheck || options.selfCheck);
    context.dataDir = directories.dataDirectory();
    context.log.setDirectory(directories.logDirectory());
    context.log.write(LogLevel::Info, startupLogLine);
    removeOldReports(options, context.dataDir);

    if (options.simulateFailure) {
        throw std::runtime_error("已触发 Vantix 可控失败测试");
    }
    if (options.selfCheck) {
        requireEmbeddedResources();
        runSelfCheck(context.dataDir, context.log);
        runWebView2DetectionTest(context.dataDir, context.log);
        return {0, std::nullopt};
    }
    return {std::nullopt, directories};
}

} // namespace kes
