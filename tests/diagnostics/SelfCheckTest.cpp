#include "diagnostics/SelfCheck.h"
#include "diagnostics/RecordingKeySender.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using kes::test::fileBytes;

TEST(SelfCheck, PassesInAFreshDirectoryAndWritesTheReportLast) {
    kes::test::ScratchDirectory scratch("self-check");
    kes::Log log;
    log.setDirectory(scratch / "logs");
    kes::runSelfCheck(scratch.path(), log);
    EXPECT_EQ(fileBytes(scratch / u8"Vantix自检.json"), "{\n"
                                                        "  \"configuration\": true,\n"
                                                        "  \"modes\": 4,\n"
                                                        "  \"realKeysSent\": false,\n"
                                                        "  \"recursiveInputIgnored\": true,\n"
                                                        "  \"releaseOnStop\": true,\n"
                                                        "  \"result\": \"通过\"\n"
                                                        "}");
    // The storage checks work inside the data directory and leave what they made.
    EXPECT_TRUE(fs::exists(scratch / u8"state/Kestrava配置.json"));
    EXPECT_TRUE(fs::exists(scratch / u8"便携目录 中文 空格/Kestrava配置.json"));
    EXPECT_FALSE(fs::exists(scratch / u8"坏配置目标/Kestrava配置.json"));
    EXPECT_FALSE(fs::exists(scratch / u8"首次运行"));
}

TEST(SelfCheck, RunsAgainInTheSameDirectory) {
    kes::test::ScratchDirectory scratch("self-check-twice");
    kes::Log log;
    log.setDirectory(scratch / "logs");
    kes::runSelfCheck(scratch.path(), log);
    fs::remove(scratch / u8"Vantix自检.json");
    kes::runSelfCheck(scratch.path(), log);
    EXPECT_TRUE(fs::exists(scratch / u8"Vantix自检.json"));
}

TEST(SelfCheck, AReportThatCannotBeWrittenFailsTheCheck) {
    kes::test::ScratchDirectory scratch("self-check-blocked");
    kes::Log log;
    log.setDirectory(scratch / "logs");
    // A folder in the report's place cannot be replaced by the report.
    kes::test::putFileBytes(scratch / u8"Vantix自检.json/inside", "");
    try {
        kes::runSelfCheck(scratch.path(), log);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "替换文件失败，原文件已保留");
    }
    EXPECT_TRUE(fs::is_directory(scratch / u8"Vantix自检.json"));
}

TEST(RecordingKeySender, RecordsUnderItsLockAndRefusesScanCodeZero) {
    kes::RecordingKeySender recorder;
    const kes::KeySender send = recorder.sender();
    send(65, 30, 0);
    send(65, 30, 2);
    try {
        send(66, 0, 0);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "扫描码为空");
    }
    const auto events = recorder.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].vk, 65);
    EXPECT_EQ(events[1].flags, kes::keyUpFlag);
}

TEST(RecordingKeySender, WaitEndsWhenEnoughEventsArriveOrAfterItsPolls) {
    kes::RecordingKeySender recorder;
    const kes::KeySender send = recorder.sender();
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        send(1, 1, 0);
        send(2, 2, 0);
    });
    EXPECT_EQ(recorder.waitForMoreThan(1), 2u);
    sender.join();

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(recorder.waitForMoreThan(2), 2u);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
}
