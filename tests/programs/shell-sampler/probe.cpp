// The sampler with the system's process source: its own process and a child it starts are sampled as
// helper processes, DNF.exe (started by run.sh, not in this tree) as the game, mydnf.exe not at all; the
// end writes the four files. Prints PASS/FAIL lines and exits 0 when every check passed.
//
// Usage: kes_sampler_probe.exe <scratch directory>     (kes_sampler_probe.exe --child: sleeps 20 s)
#include "diagnostics/PerformanceSampler.h"
#include "platform/TextConversion.h"
#include "storage/Log.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

int failures = 0;

void check(bool passed, const std::string& name, const std::string& detail = "") {
    std::printf("%s %s%s%s\n", passed ? "PASS" : "FAIL", name.c_str(), detail.empty() ? "" : ": ",
                detail.c_str());
    std::fflush(stdout);
    failures += passed ? 0 : 1;
}

const nlohmann::json* findProcess(const nlohmann::json& sample, const std::string& name, DWORD id = 0) {
    for (const nlohmann::json& entry : sample.at("进程")) {
        if ((id != 0 && entry.at("pid") == id) || (id == 0 && entry.at("名称") == name)) {
            return &entry;
        }
    }
    return nullptr;
}

PROCESS_INFORMATION startChild() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    std::wstring commandLine = L"\"" + path + L"\" --child";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &child);
    return child;
}

void burnCpu(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    volatile unsigned long long sink = 0;
    while (GetTickCount64() < end) {
        for (int i = 0; i < 100000; ++i) {
            sink = sink + static_cast<unsigned long long>(i);
        }
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wstring(argv[1]) == L"--child") {
        Sleep(20000);
        return 0;
    }
    if (argc < 2) {
        std::puts("usage: kes_sampler_probe.exe <scratch directory>");
        return 2;
    }
    const fs::path scratch(argv[1]);
    kes::Log log;
    log.setDirectory(scratch / "logs");
    kes::PerfCounters counters;
    const PROCESS_INFORMATION child = startChild();
    check(child.hProcess != nullptr, "child.started");

    auto sampler = std::make_unique<kes::PerformanceSampler>(scratch / "logs", log, &counters);
    const fs::path folder = sampler->folder();
    // The game copies were started just before this program; give the list a few tries to show them.
    for (int attempt = 0; attempt < 20; ++attempt) {
        sampler->sample();
        if (findProcess(sampler->samples().back(), "DNF.exe") != nullptr) {
            break;
        }
        Sleep(250);
    }
    burnCpu(600);
    Sleep(400);
    sampler->sample();

    const nlohmann::json& first = sampler->samples().at(0);
    const nlohmann::json& last = sampler->samples().back();
    const nlohmann::json* own = findProcess(last, "", GetCurrentProcessId());
    check(own != nullptr && own->at("助手进程") == true, "own.sampledAsHelper");
    check(own != nullptr && own->at("名称") == "kes_sampler_probe.exe", "own.name", own ? own->dump() : "");
    check(own != nullptr && own->at("单核CPU百分比").is_number() &&
              own->at("单核CPU百分比").get<double>() > 1.0,
          "own.cpuPercentFromTwoReadings", own ? own->dump() : "");
    check(own != nullptr && own->at("私有字节").is_number_unsigned() &&
              own->at("工作集字节").get<double>() > 0,
          "own.memory", own ? own->dump() : "");
    const nlohmann::json* ownFirst = findProcess(first, "", GetCurrentProcessId());
    check(ownFirst != nullptr && ownFirst->at("单核CPU百分比").is_null(), "own.firstReadingHasNoPercent");

    const nlohmann::json* helper = findProcess(last, "", child.dwProcessId);
    check(helper != nullptr && helper->at("助手进程") == true, "child.sampledAsHelper",
          last.at("进程").dump());

    const nlohmann::json* game = findProcess(last, "DNF.exe");
    check(game != nullptr && game->at("助手进程") == false && game->at("单核CPU百分比").is_number(),
          "game.sampled", last.at("进程").dump());
    check(findProcess(last, "mydnf.exe") == nullptr, "lookalike.notSampled");
    bool onlyChosen = true;
    for (const nlohmann::json& entry : last.at("进程")) {
        const bool chosen = entry.contains("助手进程") && entry.at("助手进程") == true;
        onlyChosen = onlyChosen && (chosen || entry.at("名称") == "DNF.exe");
    }
    check(onlyChosen, "nothingElseSampled", last.at("进程").dump());

    sampler->mark("命中");
    sampler->finish();
    for (const char8_t* name : {u8"采样.jsonl", u8"报告.json", u8"采样数据.csv", u8"性能报告.txt"}) {
        check(fs::exists(folder / fs::path(name)),
              std::string("wrote ") + reinterpret_cast<const char*>(name));
    }
    std::ifstream csv(folder / fs::path(u8"采样数据.csv"), std::ios::binary);
    std::ostringstream table;
    table << csv.rdbuf();
    std::size_t lines = 0;
    for (const char c : table.str()) {
        lines += c == '\n' ? 1 : 0;
    }
    check(lines == sampler->samples().size() + 1, "csv.oneLinePerSample");

    TerminateProcess(child.hProcess, 0);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    std::printf("%s\n", failures == 0 ? "all passed" : "failures");
    return failures == 0 ? 0 : 1;
}
