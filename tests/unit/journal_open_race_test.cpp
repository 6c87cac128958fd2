// Two connections that open a journal which does not exist yet, at the same moment
// (the writer thread and the Journal page, two consoles on one folder): both get a
// working journal. One of them used to fail on the other's half-made file, and a
// writer that fails runs the console without a journal.
#include "journal_store.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

TEST(JournalStoreOpen, ConcurrentFirstOpensBothGetTheJournal) {
    const std::string dir = test_work_dir() + "/journal-open-race";
    std::filesystem::create_directories(dir);
    for (int round = 0; round < 20; ++round) {
        const std::string path = dir + "/journal-" + std::to_string(round) + ".db";
        std::atomic<bool> go{false};
        std::unique_ptr<JournalStore> stores[2];
        std::string errors[2];
        std::thread other([&] {
            while (!go) {
            }
            stores[1] = JournalStore::open(path, &errors[1]);
        });
        go = true;
        stores[0] = JournalStore::open(path, &errors[0]);
        other.join();
        ASSERT_TRUE(stores[0] && stores[1]) << "round " << round << ": " << errors[0] << errors[1];
        // One schema, seen by both.
        JournalEntry entry;
        entry.operation = "SALE";
        std::string error;
        ASSERT_TRUE(stores[1]->append(entry, &error)) << error;
        EXPECT_EQ(stores[0]->count({}), 1) << "round " << round;
    }
}

} // namespace
