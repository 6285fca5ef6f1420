// The ledger of the keys the jobs hold down, and the crash path's release from it.
#include "engine/KeyLedger.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using Sent = std::vector<std::tuple<int, int, unsigned long>>; // vk, scan, flags

void record(unsigned char vk, unsigned char scan, unsigned long flags, void* context) {
    static_cast<Sent*>(context)->emplace_back(vk, scan, flags);
}

TEST(KeyLedger, ReleasesEveryKeyOnceWithTheScanCodeItWentDownWith) {
    kes::KeyLedger ledger;
    ledger.pressed(65, 0x1E, false);
    ledger.pressed(37, 0x4B, true); // Left arrow, an extended key
    ledger.pressed(68, 0x20, false);
    ledger.released(68);
    EXPECT_TRUE(ledger.isDown(65));
    EXPECT_TRUE(ledger.isDown(37));
    EXPECT_FALSE(ledger.isDown(68));
    EXPECT_EQ(ledger.keysDown(), 2u);

    Sent sent;
    EXPECT_EQ(ledger.releaseAll(&record, &sent), 2u);
    EXPECT_EQ(sent, (Sent{{37, 0x4B, 3ul}, {65, 0x1E, 2ul}}));
    EXPECT_EQ(ledger.keysDown(), 0u);
    sent.clear();
    EXPECT_EQ(ledger.releaseAll(&record, &sent), 0u);
    EXPECT_TRUE(sent.empty());
}

TEST(KeyLedger, AKeyHeldByTwoPressesStaysUntilBothAreReleased) {
    kes::KeyLedger ledger;
    ledger.pressed(65, 0x1E, false);
    ledger.pressed(65, 0x1E, false);
    ledger.released(65);
    EXPECT_TRUE(ledger.isDown(65));
    ledger.released(65);
    EXPECT_FALSE(ledger.isDown(65));
    ledger.released(65); // one release too many leaves nothing negative behind
    ledger.pressed(65, 0x1E, false);
    EXPECT_TRUE(ledger.isDown(65));
    ledger.released(65);
    EXPECT_FALSE(ledger.isDown(65));
}

TEST(KeyLedger, KeysOutsideTheRangeAreIgnored) {
    kes::KeyLedger ledger;
    for (int vk : {-1, 256, 100000}) {
        ledger.pressed(vk, 1, false);
        ledger.released(vk);
        EXPECT_FALSE(ledger.isDown(vk));
    }
    EXPECT_EQ(ledger.keysDown(), 0u);
}

TEST(CrashLedger, ReleasesTheRegisteredLedgerUntilItIsUnregistered) {
    kes::KeyLedger ledger;
    kes::KeyLedger other;
    Sent sent;
    kes::registerCrashLedger(&ledger, &record, &sent);
    ledger.pressed(65, 0x1E, false);
    EXPECT_EQ(kes::releaseCrashLedger(), 1u);
    EXPECT_EQ(sent, (Sent{{65, 0x1E, 2ul}}));

    kes::unregisterCrashLedger(&other); // not the registered one: no effect
    ledger.pressed(66, 0x30, false);
    EXPECT_EQ(kes::releaseCrashLedger(), 1u);

    kes::unregisterCrashLedger(&ledger);
    ledger.pressed(67, 0x2E, false);
    EXPECT_EQ(kes::releaseCrashLedger(), 0u);
    EXPECT_TRUE(ledger.isDown(67));
    EXPECT_EQ(sent.size(), 2u);
}

} // namespace
