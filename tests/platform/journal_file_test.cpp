#include "platform/journal/journal_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>
#include <chrono>
#include <thread>

#include "platform/journal/journal_writer.h"

#include "support/temp_dir.h"

namespace quillet {
namespace {

QVariant One(QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
    return query.next() ? query.value(0) : QVariant();
}

// A new journal is private, in WAL and at version 1; opened again it keeps its rows; retention
// deletes the old events and, through the foreign key, their attempts, and nothing newer.
TEST(JournalFileTest, IsMadePrivateReopensAndDeletesOldEventsWithTheirAttempts) {
    test::TempDir dir;
    const std::string path = dir.Path("quillet-journal.sqlite");
    {
        JournalFile file(path, "first");
        ASSERT_TRUE(file.ok()) << file.error();
        auto& db = file.database();
        EXPECT_EQ(One(db, "PRAGMA journal_mode").toString(), "wal");
        EXPECT_EQ(One(db, "PRAGMA user_version").toInt(), 1);
        QSqlQuery query(db);
        for (const char* statement :
             {"INSERT INTO events(id,at_ms,source,event,order_id,fields) VALUES"
              " (1,1000,'socket','OrderPlaced','A','{}'), (2,5000,'fix','OrderCancelled','B','{}')",
              "INSERT INTO attempts(event_id,at_ms,outcome) VALUES (1,1100,'waiting'),"
              " (1,1200,'delivered'), (2,5100,'failed')"})
            ASSERT_TRUE(query.exec(statement)) << statement;
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    JournalFile again(path, "again");
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_EQ(again.DeleteBefore(5000), 1);
    auto& db = again.database();
    EXPECT_EQ(One(db, "SELECT group_concat(order_id) FROM events").toString(), "B");
    EXPECT_EQ(One(db, "SELECT group_concat(outcome) FROM attempts").toString(), "failed");
    EXPECT_EQ(One(db, "PRAGMA integrity_check").toString(), "ok");
}

// A mail composed only at its attempt (its settings waited for the keyring) completes its
// event with what it was composed as, the recipients with it, so that a search finds it.
TEST(JournalFileTest, AMailComposedAtItsAttemptCompletesItsEvent) {
    int argc = 1;
    char name[] = "journal_tests";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);  // as in the program, for the writer's thread
    test::TempDir dir;
    const std::string path = dir.Path("quillet-journal.sqlite");
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    {
        JournalWriter journal(path, std::chrono::hours(24));
        JournalEventRecord event;
        event.at_ms = now;
        event.event = "OrderPlaced";
        event.order_id = "7";
        event.outbox_id = "m1";
        event.mail_state = "waiting";
        journal.RecordEvent(event);
        journal.RecordMail({"m1", now + 5, "delivered", "", "250 Ok", now + 5, "<id@x.com>",
                            "a@x.com,b@x.com", "Subject: CVT order # 7\r\n"});
    }  // written before the writer goes
    JournalFile file(path, "read");
    ASSERT_TRUE(file.ok()) << file.error();
    EXPECT_EQ(One(file.database(),
                  "SELECT mail_state || ' ' || message_id || ' ' || recipients || "
                  "' ' || length(message) FROM events")
                  .toString(),
              "delivered <id@x.com> a@x.com,b@x.com 24");
}

// Another that holds the file locked longer than the writer waits: the rows wait in memory and
// go in once it lets go.
TEST(JournalFileTest, RowsWaitInMemoryWhileTheFileIsLocked) {
    int argc = 1;
    char name[] = "journal_tests";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    test::TempDir dir;
    const std::string path = dir.Path("quillet-journal.sqlite");
    JournalFile other(path, "other");
    ASSERT_TRUE(other.ok()) << other.error();
    const auto count = [&] { return One(other.database(), "SELECT count(*) FROM events").toInt(); };
    {
        JournalWriter journal(path, std::chrono::hours(24));
        JournalEventRecord event;
        event.at_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
        event.event = "OrderPlaced";
        journal.RecordEvent(event);
        for (int i = 0; i < 100 && count() == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        QSqlQuery lock(other.database());
        ASSERT_TRUE(lock.exec("BEGIN EXCLUSIVE"));
        for (int i = 0; i < 20; ++i) {
            journal.RecordEvent(event);
        }
        std::this_thread::sleep_for(std::chrono::seconds(7));  // past the writer's 5 s
        ASSERT_TRUE(lock.exec("COMMIT"));
    }
    EXPECT_EQ(count(), 21);
}

TEST(JournalFileTest, RefusesAFileThatIsNotAJournalAndANewerOne) {
    test::TempDir dir;
    test::WriteFile(dir.Path("junk"), std::string(4096, 'x'));
    JournalFile junk(dir.Path("junk"), "junk");
    EXPECT_FALSE(junk.ok());
    EXPECT_FALSE(junk.database().isOpen());
    {
        JournalFile newer(dir.Path("newer"), "newer");
        ASSERT_TRUE(newer.ok()) << newer.error();
        QSqlQuery(newer.database()).exec("PRAGMA user_version=2");
    }
    JournalFile newer(dir.Path("newer"), "newer");
    EXPECT_NE(newer.error().find("newer version"), std::string::npos) << newer.error();
    EXPECT_FALSE(newer.DeleteBefore(1).has_value());
}

}  // namespace
}  // namespace quillet
