#include "archive/zip_implement.h"

#include <gtest/gtest.h>
#include <zlib.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "tests/archive/extraction_workers.h"
#include "tests/archive/progress_gate.h"
#include "tests/archive/wait_for_end.h"
#include "tests/support/host_files.h"
#include "tests/support/random_bytes.h"
#include "tests/support/run_process.h"
#include "tests/support/sandbox.h"
#include "tests/support/zip_writer.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathOf;
using tolbe_test::kNoEnd;
using tolbe_test::RandomBytes;
using tolbe_test::ReadHostFile;
using tolbe_test::TreeBelow;
using tolbe_test::WriteHostFile;
using tolbe_test::ZipEntry;

constexpr char kArchive[] = R"(D:\Client.zip)";
constexpr wchar_t kArchiveWide[] = LR"(D:\Client.zip)";
constexpr wchar_t kTargetWide[] = LR"(D:\Tolbe)";

// A run on a drive of its own, for tables of cases: the archive D:\Client.zip is made by the
// case, extracted into D:\Tolbe.
struct FreshRun {
    int Extract() {
        EXPECT_TRUE(zip.StartUnzip(kArchiveWide, kTargetWide));
        return tolbe_test::WaitForEnd(zip);
    }
    std::string Archive() const { return drives.Host(kArchive); }
    std::string Target(const std::string& relative = "") const {
        return drives.Host(std::string(R"(D:\Tolbe\)") + relative);
    }
    // How many files anywhere in the sandbox hold `content`.
    int FilesHolding(const std::string& content) const {
        int files = 0;
        for (const auto& [path, held] : TreeBelow(drives.base())) {
            files += held == content;
        }
        return files;
    }

    tolbe_test::SandboxDrives drives{"D"};
    tolbe_test::Extractor zip;
};

class ZipImplementTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_gate.Open();
        EXPECT_NE(WaitForEnd(), kNoEnd) << "the worker did not end";
    }

    void MakeArchive(const std::vector<ZipEntry>& entries, bool zip64 = false) {
        tolbe_test::WriteZip(m_drives.Host(kArchive), entries, zip64);
    }

    bool Start() { return m_zip.StartUnzip(kArchiveWide, kTargetWide); }

    int WaitForEnd() { return tolbe_test::WaitForEnd(m_zip); }

    // Makes the archive, extracts it into D:\Tolbe and returns the final state.
    int Extract(const std::vector<ZipEntry>& entries, bool zip64 = false) {
        MakeArchive(entries, zip64);
        EXPECT_TRUE(Start());
        return WaitForEnd();
    }

    std::map<std::string, std::string> Target() { return TreeBelow(m_drives.Host(R"(D:\Tolbe)")); }

    std::pair<int, int> Progress() {
        int percent = -1;
        const int state = m_zip.GetProgress(&percent);
        return {state, percent};
    }

    tolbe_test::SandboxDrives m_drives{"D"};
    tolbe_test::Extractor m_zip;
    tolbe_test::ProgressGate m_gate;
};

TEST_F(ZipImplementTest, AnEmptyArchiveSucceedsAndLeavesOnlyTheTargetDirectory) {
    EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kIdle, 0));
    EXPECT_EQ(Extract({}), CZipImplement::kDone);
    EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kDone, 0));
    EXPECT_TRUE(fs::is_directory(m_drives.Host(R"(D:\Tolbe)")));
    EXPECT_TRUE(Target().empty());
}

TEST_F(ZipImplementTest, WritesDirectoriesNestedFilesAndExactBytes) {
    const std::string binary = RandomBytes(100000, 1) + std::string("\0\r\n\x1a", 4);
    EXPECT_EQ(Extract({{"data/", ""},
                       {"a/b/c.txt", "nested"},
                       {"top.bin", binary},
                       {"stored.txt", "as it stands", 0, true},
                       {R"(win\style.txt)", "backslashes separate too"},
                       {"empty.txt", ""}}),
              CZipImplement::kDone);
    const std::map<std::string, std::string> expected = {
        {"data", "<dir>"},   {"a", "<dir>"},
        {"a/b", "<dir>"},    {"a/b/c.txt", "nested"},
        {"top.bin", binary}, {"stored.txt", "as it stands"},
        {"win", "<dir>"},    {"win/style.txt", "backslashes separate too"},
        {"empty.txt", ""},
    };
    EXPECT_EQ(Target(), expected);
}

// The sum of the entries' sizes is compared with the target drive's free space before anything
// is written: a client that cannot fit fails at once, leaving the target empty.
TEST_F(ZipImplementTest, AClientThatCannotFitFailsBeforeItsFirstByte) {
    const std::vector<ZipEntry> entries = {{"tolbe.exe", std::string(3000, 'x')},
                                           {"data/map.txt", std::string(2000, 'y')}};
    m_drives.SetFreeBytes('D', 4999);
    EXPECT_EQ(Extract(entries), CZipImplement::kFailed);
    EXPECT_TRUE(Target().empty());
    m_drives.SetFreeBytes('D', 5000);
    EXPECT_EQ(Extract(entries), CZipImplement::kDone);
    EXPECT_EQ(Target().size(), 3u);
}

TEST_F(ZipImplementTest, TheTargetsFoldersAreMadeWhenMissing) {
    MakeArchive({{"game.exe", "MZ"}});
    ASSERT_TRUE(m_zip.StartUnzip(kArchiveWide, LR"(D:\Games\Tolbe)"));
    EXPECT_EQ(WaitForEnd(), CZipImplement::kDone);
    EXPECT_EQ(ReadHostFile(m_drives.Host(R"(D:\Games\Tolbe\game.exe)")), "MZ");
}

TEST_F(ZipImplementTest, AnEntryWithAnEmptyNameFailsTheRunAndKeepsWhatWasWritten) {
    EXPECT_EQ(Extract({{"first.txt", "one"}, {"", "nameless"}, {"after.txt", "never"}}),
              CZipImplement::kFailed);
    EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kFailed, 0));
    EXPECT_EQ(Target(), (std::map<std::string, std::string>{{"first.txt", "one"}}));
}

TEST_F(ZipImplementTest, ThePercentageFollowsWrittenBytes) {
    MakeArchive({{"a.bin", std::string(300, 'a')}, {"b.bin", RandomBytes(700, 2)}});
    m_gate.Attach(m_zip);
    ASSERT_TRUE(Start());

    EXPECT_EQ(m_gate.WaitForHeld(), 0u);  // a.bin created, nothing written yet
    EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kInProgress, 0));
    m_gate.Step();
    EXPECT_EQ(m_gate.WaitForHeld(), 300u);
    EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kInProgress, 30));
    m_gate.Step();
    EXPECT_EQ(m_gate.WaitForHeld(), 300u);  // b.bin created
    m_gate.Step();
    EXPECT_EQ(m_gate.WaitForHeld(), 1000u);
    EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kInProgress, 100));  // until the end
    m_gate.Open();
    EXPECT_EQ(WaitForEnd(), CZipImplement::kDone);
    EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kDone, 0));
}

TEST_F(ZipImplementTest, ThePercentageFollowsEntriesWhenEveryEntryIsEmpty) {
    MakeArchive({{"1", ""}, {"2", ""}, {"3", ""}, {"4", ""}});
    m_gate.Attach(m_zip);
    ASSERT_TRUE(Start());
    for (const int expected : {25, 50, 75, 100}) {  // while each entry is extracted
        ASSERT_EQ(m_gate.WaitForHeld(), 0u);
        EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kInProgress, expected));
        m_gate.Step();
    }
    EXPECT_EQ(WaitForEnd(), CZipImplement::kDone);
    EXPECT_EQ(Target().size(), 4u);
}

TEST_F(ZipImplementTest, RefusedStartsChangeNothing) {
    fs::create_directories(m_drives.Host(R"(D:\folder.zip)"));
    const struct {
        const wchar_t* archive;
        const wchar_t* target;
    } refused[] = {
        {L"", kTargetWide},                  // no archive path
        {kArchiveWide, L""},                 // no target
        {LR"(D:\Client.zip)", kTargetWide},  // no archive there (not made yet)
        {LR"(D:\folder.zip)", kTargetWide},  // a directory is no archive
        {LR"(Q:\Client.zip)", kTargetWide},  // on no drive
    };
    for (const auto& start : refused) {
        EXPECT_FALSE(m_zip.StartUnzip(start.archive, start.target));
        EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kIdle, 0));
    }

    // After a failed run the state stays failed.
    EXPECT_EQ(Extract({{"", ""}}), CZipImplement::kFailed);
    for (const auto& start : refused) {
        if (std::wstring(start.archive) != kArchiveWide) {
            EXPECT_FALSE(m_zip.StartUnzip(start.archive, start.target));
            EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kFailed, 0));
        }
    }
}

TEST_F(ZipImplementTest, AStartDuringARunIsRefusedAndTheRunGoesOnUndisturbed) {
    const std::string big = RandomBytes(20000, 3);
    MakeArchive({{"one.bin", big}, {"two.txt", "two"}});
    tolbe_test::WriteZip(m_drives.Host(R"(D:\Other.zip)"), {{"other.txt", "other"}});
    m_gate.Attach(m_zip);
    ASSERT_TRUE(Start());
    m_gate.Step();  // past the creation of one.bin
    const auto held = m_gate.WaitForHeld();
    ASSERT_TRUE(held.has_value());
    const auto before = Progress();
    ASSERT_EQ(before.first, CZipImplement::kInProgress);

    EXPECT_FALSE(m_zip.StartUnzip(LR"(D:\Other.zip)", LR"(D:\Elsewhere)"));
    EXPECT_FALSE(m_zip.StartUnzip(kArchiveWide, kTargetWide));
    EXPECT_EQ(Progress(), before);

    m_gate.Open();
    EXPECT_EQ(WaitForEnd(), CZipImplement::kDone);
    EXPECT_EQ(Target(), (std::map<std::string, std::string>{{"one.bin", big}, {"two.txt", "two"}}));
    EXPECT_FALSE(fs::exists(m_drives.Host(R"(D:\Elsewhere)")));
}

TEST_F(ZipImplementTest, ARestartAfterAFailureBeginsAtTheFirstEntryWithZeroedCounters) {
    const std::string first = RandomBytes(3000, 4);
    EXPECT_EQ(Extract({{"first.bin", first}, {"../escape.txt", "x"}}), CZipImplement::kFailed);
    EXPECT_EQ(Target(), (std::map<std::string, std::string>{{"first.bin", first}}));

    // The operator's fixed archive: the same first entry, the second one repaired.
    MakeArchive({{"first.bin", first}, {"second.txt", std::string(1000, 's')}});
    m_gate.Attach(m_zip);
    ASSERT_TRUE(Start());
    EXPECT_EQ(m_gate.WaitForHeld(), 0u);  // first.bin again, counting from nothing
    m_gate.Step();
    EXPECT_EQ(m_gate.WaitForHeld(), 3000u);
    EXPECT_EQ(Progress(), std::make_pair(CZipImplement::kInProgress, 75));
    m_gate.Open();
    EXPECT_EQ(WaitForEnd(), CZipImplement::kDone);
    EXPECT_EQ(Target(), (std::map<std::string, std::string>{
                            {"first.bin", first}, {"second.txt", std::string(1000, 's')}}));

    // A finished run can be started again too.
    ASSERT_TRUE(Start());
    EXPECT_EQ(WaitForEnd(), CZipImplement::kDone);
}

TEST_F(ZipImplementTest, AnExistingTargetIsUsedAndItsFilesAreOverwritten) {
    const std::string target = m_drives.Host(R"(D:\Tolbe)");
    WriteHostFile(target + "/game.exe", "an older and much longer program");
    WriteHostFile(target + "/readonly.dat", "old");
    tolbe_test::SetHostMode(target + "/readonly.dat", 0444);
    WriteHostFile(target + "/saves/keep.sav", "the player's");

    EXPECT_EQ(Extract({{"game.exe", "new"}, {"readonly.dat", "new data"}}), CZipImplement::kDone);
    EXPECT_EQ(Target(), (std::map<std::string, std::string>{{"game.exe", "new"},
                                                            {"readonly.dat", "new data"},
                                                            {"saves", "<dir>"},
                                                            {"saves/keep.sav", "the player's"}}));
}

// A link where a file goes: replaced by the file, what it points to stays untouched.
TEST_F(ZipImplementTest, ALinkWhereAFileGoesIsReplacedAndWhatItLeadsToStays) {
    if (!tolbe_test::HostShowsFileLinks()) {
        GTEST_SKIP() << tolbe_test::kFileLinksUnseen;
    }
    WriteHostFile(m_drives.base() + "/outside.txt", "outside");
    fs::create_directories(HostPathOf(m_drives.Host(R"(D:\Tolbe)")));
    tolbe_test::MakeHostFileLink(m_drives.Host(R"(D:\Tolbe\linked.txt)"),
                                 m_drives.base() + "/outside.txt");
    EXPECT_EQ(Extract({{"linked.txt", "mine"}}), CZipImplement::kDone);
    EXPECT_EQ(Target(), (std::map<std::string, std::string>{{"linked.txt", "mine"}}));
    EXPECT_EQ(ReadHostFile(m_drives.base() + "/outside.txt"), "outside");
}

// Windows drops a name's trailing dots and blanks, so that "..." may be read as a folder above:
// it writes no name that ends in one.
#ifdef _WIN32
constexpr bool kTrailingDotsRefused = true;
#else
constexpr bool kTrailingDotsRefused = false;
#endif

// Entry names that could lead outside the target are refused: the run fails and nothing of the
// entry is written anywhere. Names that merely look alike extract normally.
TEST(ZipImplementNames, EntryNamesLeadingOutsideTheTargetAreRefused) {
    const struct {
        const char* name;
        bool refused;
    } cases[] = {
        {"../evil.txt", true},
        {"..", true},
        {"a/../../evil.txt", true},
        {R"(a\..\..\evil.txt)", true},
        {"a/b/../../../evil.txt", true},
        {"a/..", true},
        {"/evil.txt", true},
        {R"(\evil.txt)", true},
        {"//evil.txt", true},
        {"C:evil.txt", true},
        {R"(D:\evil.txt)", true},
        {"D:/evil.txt", true},
        {"a/b:evil.txt", true},
        {"..evil.txt", false},
        {"a../evil.txt", kTrailingDotsRefused},
        {".../evil.txt", kTrailingDotsRefused},
        {"a/.../evil.txt", kTrailingDotsRefused},
        {".. /evil.txt", kTrailingDotsRefused},
        {"./evil.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FreshRun run;
        tolbe_test::WriteZip(run.Archive(), {{"inside.txt", "fine"}, {c.name, "evil"}});
        EXPECT_EQ(run.Extract(), c.refused ? CZipImplement::kFailed : CZipImplement::kDone);
        EXPECT_EQ(ReadHostFile(run.Target("inside.txt")), "fine");
        EXPECT_EQ(run.FilesHolding("evil"), c.refused ? 0 : 1);
    }
}

// A name with a NUL byte inside would be cut short at it: refused, never written truncated.
TEST(ZipImplementNames, ANameWithANulByteIsRefused) {
    FreshRun run;
    tolbe_test::WriteZip(run.Archive(), {{"game.exeXjunk", "evil"}});
    tolbe_test::PatchHostFile(run.Archive(), "game.exeXjunk", std::string("game.exe\0junk", 13));
    tolbe_test::PatchHostFile(run.Archive(), "game.exeXjunk", std::string("game.exe\0junk", 13));
    EXPECT_EQ(run.Extract(), CZipImplement::kFailed);
    EXPECT_FALSE(tolbe_test::HostPathExists(run.Target("game.exe")));
}

// Names that Windows would read as another name or as a device are refused there, the run
// failing as for any name that is no safe name; POSIX writes them as they are.
TEST(ZipImplementNames, NamesWindowsCannotKeepAreRefusedThere) {
#ifdef _WIN32
    constexpr bool kRefused = true;
#else
    constexpr bool kRefused = false;
#endif
    for (const char* name : {"CON", "nul.txt", "data/Aux.log", "com1", "LPT9.dat",
                             "com\xC2\xB9.txt", "data./map.txt", "map.txt.", "map.txt ", "a<b.txt",
                             "a>b.txt", "a\"b.txt", "a|b.txt", "a?b.txt", "a*b.txt"}) {
        SCOPED_TRACE(name);
        FreshRun run;
        tolbe_test::WriteZip(run.Archive(), {{"inside.txt", "fine"}, {name, "named"}});
        EXPECT_EQ(run.Extract(), kRefused ? CZipImplement::kFailed : CZipImplement::kDone);
        EXPECT_EQ(ReadHostFile(run.Target("inside.txt")), "fine");
        EXPECT_EQ(run.FilesHolding("named"), kRefused ? 0 : 1);
    }
    // Names that only look alike are written on both hosts.
    for (const char* name :
         {"console.txt", "com10", "lpt0", "nul_file", "CON_", ".hidden", "a.b"}) {
        SCOPED_TRACE(name);
        FreshRun run;
        tolbe_test::WriteZip(run.Archive(), {{name, "named"}});
        EXPECT_EQ(run.Extract(), CZipImplement::kDone);
        EXPECT_EQ(ReadHostFile(run.Target(name)), "named");
    }
}

// Names are written as UTF-8 text: GBK bytes (from a zip tool on Windows in Chinese, which sets
// no UTF-8 flag) are read as GBK before any separator or name check; UTF-8 stays as it is.
TEST(ZipImplementNames, NamesBecomeUtf8TextWhateverTheArchiveStores) {
    using Written = std::map<std::string, std::string>;
    const struct {
        const char* what;
        std::string stored;
        bool utf8Flag;
        Written written;  // besides inside.txt
    } cases[] = {
        {"GBK, no flag", "\xB6\xC1\xC8\xA1.txt", false, {{"读取.txt", "data"}}},
        {"GBK folders, no flag",
         "\xD3\xCE\xCF\xB7/\xCA\xFD\xBE\xDD/\xB5\xD8\xCD\xBC.txt",
         false,
         {{"游戏", "<dir>"}, {"游戏/数据", "<dir>"}, {"游戏/数据/地图.txt", "data"}}},
        {"GBK folder entry", "\xD3\xCE\xCF\xB7/", false, {{"游戏", "<dir>"}}},
        {"GBK second byte 0x5C", "\x81\x5C.txt", false, {{"乗.txt", "data"}}},
        {"UTF-8, no flag", "读取.txt", false, {{"读取.txt", "data"}}},
        {"UTF-8, flag", "数据/读取.txt", true, {{"数据", "<dir>"}, {"数据/读取.txt", "data"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FreshRun run;
        ZipEntry entry{c.stored, c.stored.back() == '/' ? "" : "data"};
        entry.utf8Flag = c.utf8Flag;
        tolbe_test::WriteZip(run.Archive(), {{"inside.txt", "fine"}, entry});
        EXPECT_EQ(run.Extract(), CZipImplement::kDone);
        Written expected = c.written;
        expected["inside.txt"] = "fine";
        EXPECT_EQ(TreeBelow(run.Target()), expected);
    }
}

// A name that is no text, or whose text is no safe name, fails the run like a damaged entry;
// the checks apply to the decoded text.
TEST(ZipImplementNames, NamesThatAreNoTextOrNoSafeNameAreRefused) {
    const struct {
        const char* what;
        std::string stored;
        bool utf8Flag;
    } cases[] = {
        {"GBK under the UTF-8 flag", "\xB6\xC1\xC8\xA1.txt", true},
        {"neither UTF-8 nor GBK", "\xFF\xFE.txt", false},
        {"GBK cut short", "evil\xB6", false},
        {"GBK climbing out", "\xB6\xC1/../../evil.txt", false},
        {"GBK with a drive colon", "\xB6\xC1:evil.txt", false},
        {"GBK rooted", "/\xB6\xC1.txt", false},
        {"a tab", "a\tevil.txt", false},
        {"a line break", "evil\n.txt", true},
        {"DEL", "evil\x7F.txt", false},
        {"a C1 control", "evil\xC2\x85.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FreshRun run;
        ZipEntry entry{c.stored, "evil"};
        entry.utf8Flag = c.utf8Flag;
        tolbe_test::WriteZip(run.Archive(), {{"inside.txt", "fine"}, entry});
        EXPECT_EQ(run.Extract(), CZipImplement::kFailed);
        EXPECT_EQ(TreeBelow(run.drives.Root('D')),
                  (std::map<std::string, std::string>{{"Client.zip", ReadHostFile(run.Archive())},
                                                      {"Tolbe", "<dir>"},
                                                      {"Tolbe/inside.txt", "fine"}}));
    }
}

// Names of 512 bytes and more are read whole and written under their full path.
TEST(ZipImplementNames, LongNamesAreWrittenUnderTheirFullPath) {
    for (const size_t length : {511u, 512u, 513u, 1000u}) {
        SCOPED_TRACE(length);
        // Components of at most 200 bytes, as file systems allow.
        std::string name;
        while (name.size() + 201 < length) {
            name += std::string(200, static_cast<char>('a' + name.size() / 201)) + "/";
        }
        name += std::string(length - name.size(), 'z');
        ASSERT_EQ(name.size(), length);
        FreshRun run;
        tolbe_test::WriteZip(run.Archive(), {{name, "long"}});
        EXPECT_EQ(run.Extract(), CZipImplement::kDone);
        std::map<std::string, std::string> files;
        for (const auto& [path, content] : TreeBelow(run.Target())) {
            if (content != "<dir>") {
                files[path] = content;
            }
        }
        EXPECT_EQ(files, (std::map<std::string, std::string>{{name, "long"}}));
    }
}

// Damaged data fails the run at that entry; the entries before it stay, none after it is made.
TEST(ZipImplementDamage, DamagedEntriesFailTheRun) {
    // Each kind of data takes its own way through the extractor: stored data is copied, small
    // deflated data is inflated whole, large deflated data streams in pieces.
    const auto text = [](size_t size) {
        std::string lines;
        for (int i = 0; lines.size() < size; ++i) {
            lines += "line " + std::to_string(i * 7919 % 10007) + " of the client's text\n";
        }
        return lines;
    };
    const struct {
        const char* what;
        std::string data;
        bool stored;
    } kinds[] = {
        {"stored", "stored data whose checksum is compared when it is closed", true},
        {"small deflated", text(60000), false},
        {"large deflated", text(3 * 1024 * 1024), false},
    };
    enum class Damage { ChangeChecksum, DeclareMoreBytes, DeclareFewerBytes, ScrambleData };
    const struct {
        const char* what;
        Damage damage;
    } damages[] = {
        {"checksum mismatch", Damage::ChangeChecksum},
        {"data ends before the declared size", Damage::DeclareMoreBytes},
        {"data runs past the declared size", Damage::DeclareFewerBytes},
        {"damaged compressed data", Damage::ScrambleData},
    };
    for (const auto& kind : kinds) {
        for (const auto& d : damages) {
            if (kind.stored && d.damage == Damage::ScrambleData) {
                continue;  // stored bytes hold no structure to damage: the checksum case
            }
            SCOPED_TRACE(std::string(kind.what) + ", " + d.what);
            FreshRun run;
            ZipEntry damaged{"damaged.txt", kind.data, 0, kind.stored};
            if (d.damage == Damage::DeclareMoreBytes) {
                damaged.declaredSize = kind.data.size() + 100;
            } else if (d.damage == Damage::DeclareFewerBytes) {
                damaged.declaredSize = kind.data.size() - 10;
            }
            tolbe_test::WriteZip(run.Archive(),
                                 {{"first.txt", "kept"}, damaged, {"last.txt", "never"}});
            std::string bytes = ReadHostFile(run.Archive());
            if (d.damage == Damage::ChangeChecksum) {
                // The CRC-32 stands in the local header and in the central directory.
                const auto crc = static_cast<uint32_t>(
                    crc32(0, reinterpret_cast<const Bytef*>(kind.data.data()), kind.data.size()));
                const std::string stored(reinterpret_cast<const char*>(&crc), 4);
                std::string changed = stored;
                changed[0] = static_cast<char>(changed[0] ^ 1);
                for (size_t at = bytes.find(stored); at != std::string::npos;
                     at = bytes.find(stored, at + 4)) {
                    bytes.replace(at, 4, changed);
                }
            } else if (d.damage == Damage::ScrambleData) {
                // The compressed data follows the entry's local header, which ends with its
                // name.
                const size_t data = bytes.find("damaged.txt") + std::string("damaged.txt").size();
                for (size_t i = 200; i < 400; ++i) {
                    bytes[data + i] = static_cast<char>(bytes[data + i] ^ 0x5a);
                }
            }
            WriteHostFile(run.Archive(), bytes);
            EXPECT_EQ(run.Extract(), CZipImplement::kFailed);
            EXPECT_EQ(ReadHostFile(run.Target("first.txt")), "kept");
            EXPECT_FALSE(tolbe_test::HostPathExists(run.Target("last.txt")));
            // Never more than the entry declares, which is what the drive's room was checked
            // for.
            EXPECT_LE(ReadHostFile(run.Target("damaged.txt")).size(),
                      damaged.declaredSize.value_or(damaged.data.size()));
        }
    }
}

TEST(ZipImplementDamage, TruncatedArchivesFail) {
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        text += "row " + std::to_string(i) + "\n";
    }
    for (const double keep : {0.0, 0.5, 0.99}) {
        SCOPED_TRACE(keep);
        FreshRun run;
        tolbe_test::WriteZip(run.Archive(), {{"a.txt", text}, {"b.txt", text}});
        std::string bytes = ReadHostFile(run.Archive());
        bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * keep));
        WriteHostFile(run.Archive(), bytes);
        EXPECT_EQ(run.Extract(), CZipImplement::kFailed);
    }
}

TEST(ZipImplementDamage, ATextFileIsNoArchive) {
    FreshRun run;
    WriteHostFile(run.Archive(), "<html>404 Not Found</html>");
    EXPECT_EQ(run.Extract(), CZipImplement::kFailed);
}

TEST_F(ZipImplementTest, AnArchiveInZip64FormExtracts) {
    const std::string big = RandomBytes(700000, 6);  // read in several pieces
    EXPECT_EQ(Extract({{"bin/game.exe", big}, {"empty/", ""}, {"note.txt", "zip64"}}, true),
              CZipImplement::kDone);
    EXPECT_EQ(
        Target(),
        (std::map<std::string, std::string>{
            {"bin", "<dir>"}, {"bin/game.exe", big}, {"empty", "<dir>"}, {"note.txt", "zip64"}}));
}

// Permission bits stored by a Unix archiver are applied (read, write and execute only); other
// entries get the usual default. Checked with a known umask. On Windows only the owner's write
// bit has a meaning: without it the file is read-only.
TEST_F(ZipImplementTest, PermissionBitsOfUnixEntriesAreApplied) {
#ifndef _WIN32
    const mode_t previousUmask = ::umask(022);
#endif
    const struct {
        const char* name;
        unsigned stored;  // 0: made on MS-DOS
        unsigned expected;
    } cases[] = {
        {"game", 0100755, 0755},
        {"script.sh", 0100700, 0700},
        {"data.pak", 0100644, 0644},
        {"private.key", 0100600, 0600},
        {"read-only.pak", 0100444, 0444},
        {"owner-read-only", 0100455, 0455},
        {"setuid", 0104755, 0755},
        {"setgid-sticky", 0103775, 0755},
        {"world", 0100777, 0755},           // the umask still applies
        {"no-permissions", 0100000, 0644},  // nothing stored: the default
        {"dos-made", 0, 0644},              // made on MS-DOS: the default
        {"link", 0120777, 0644},            // a link becomes a plain file
    };
    std::vector<ZipEntry> entries;
    for (const auto& c : cases) {
        entries.push_back({c.name, std::string("content of ") + c.name, c.stored});
    }
    const int state = Extract(entries);
#ifndef _WIN32
    ::umask(previousUmask);
#endif
    ASSERT_EQ(state, CZipImplement::kDone);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = m_drives.Host(std::string(R"(D:\Tolbe\)") + c.name);
        EXPECT_FALSE(tolbe_test::IsHostLink(HostPathOf(file)));
        EXPECT_TRUE(fs::is_regular_file(HostPathOf(file)));
#ifdef _WIN32
        EXPECT_EQ(tolbe_test::HostModeOf(file), (c.expected & 0200) != 0 ? 0666u : 0444u);
#else
        EXPECT_EQ(tolbe_test::HostModeOf(file), c.expected);
#endif
    }
}

// A symbolic link in the archive is written as a regular file holding the link's target, so a
// later entry cannot be written through it.
TEST_F(ZipImplementTest, LinkEntriesNeverBecomeLinks) {
    const std::string outside = m_drives.base() + "/outside";
    fs::create_directories(outside);
    EXPECT_EQ(Extract({{"escape", outside, 0120777}, {"escape/evil.txt", "evil"}}),
              CZipImplement::kFailed);
    const std::string escape = m_drives.Host(R"(D:\Tolbe\escape)");
    EXPECT_FALSE(tolbe_test::IsHostLink(HostPathOf(escape)));
    EXPECT_TRUE(fs::is_regular_file(HostPathOf(escape)));
    EXPECT_EQ(ReadHostFile(escape), outside);
    EXPECT_TRUE(fs::is_empty(outside));
}

// What the target already holds in the place of a folder, or in the place of the target itself:
// a link (to a folder outside holding a canary file, to a file, to nothing) or a plain file. The
// entry that would pass through it fails the run; nothing is written through the link, nothing
// outside the target changes, and what the target held stays as it was.
TEST(ZipImplementLinks, NoWriteFollowsALinkOrPassesAFile) {
    using Files = std::map<std::string, std::string>;
    enum class Planted { LinkToOutside, LinkToCanaryFile, LinkToNothing, File };
    const struct {
        const char* what;
        const char* at;  // below the drive root
        Planted planted;
        std::vector<ZipEntry> entries;
        Files target;  // the target afterwards, when it is a real folder
    } cases[] = {
        {"a link where a folder is needed",
         "Tolbe/data",
         Planted::LinkToOutside,
         {{"first.txt", "kept"}, {"data/x.txt", "evil"}, {"last.txt", "never"}},
         {{"first.txt", "kept"}, {"data", "<link>"}}},
        {"a directory entry through a link",
         "Tolbe/data",
         Planted::LinkToOutside,
         {{"data/sub/", ""}, {"data/sub/x.txt", "evil"}},
         {{"data", "<link>"}}},
        {"a link two levels down",
         "Tolbe/a/b",
         Planted::LinkToOutside,
         {{"a/one.txt", "kept"}, {"a/b/c/x.txt", "evil"}},
         {{"a", "<dir>"}, {"a/one.txt", "kept"}, {"a/b", "<link>"}}},
        {"a link to a file where a folder is needed",
         "Tolbe/data",
         Planted::LinkToCanaryFile,
         {{"data/x.txt", "evil"}},
         {{"data", "<link>"}}},
        {"a link at the target itself", "Tolbe", Planted::LinkToOutside, {{"x.txt", "evil"}}, {}},
        {"a link to nothing at the target",
         "Tolbe",
         Planted::LinkToNothing,
         {{"x.txt", "evil"}},
         {}},
        {"a file where a folder is needed",
         "Tolbe/data",
         Planted::File,
         {{"data/x.txt", "evil"}},
         {{"data", "the player's"}}},
        {"a file where a folder is needed two levels down",
         "Tolbe/a/b",
         Planted::File,
         {{"a/b/c/", ""}},
         {{"a", "<dir>"}, {"a/b", "the player's"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FreshRun run;
        const std::string outside = run.drives.base() + "/outside";
        WriteHostFile(outside + "/canary.txt", "canary");
        const std::string planted = run.drives.Root('D') + "/" + c.at;
        fs::create_directories(HostPathOf(planted).parent_path());
        switch (c.planted) {
            case Planted::LinkToOutside:
                tolbe_test::MakeHostFolderLink(planted, outside);
                break;
            case Planted::LinkToCanaryFile:
                tolbe_test::MakeHostFileLink(planted, outside + "/canary.txt");
                break;
            case Planted::LinkToNothing:
                tolbe_test::MakeHostFileLink(planted, outside + "/missing");
                break;
            case Planted::File:
                WriteHostFile(planted, "the player's");
                break;
        }
        tolbe_test::WriteZip(run.Archive(), c.entries);
        // Everything of the sandbox but the target's own content, as it was before the run.
        const auto outsideTarget = [&run] {
            Files tree = TreeBelow(run.drives.base());
            for (auto it = tree.begin(); it != tree.end();) {
                it = it->first.rfind("D/Tolbe/", 0) == 0 ? tree.erase(it) : std::next(it);
            }
            return tree;
        };
        const Files before = outsideTarget();
        // The planted entry afterwards is what it was: a link, or under Wine, which shows a host
        // link to a file as that file, the canary.
        Files expected = c.target;
        const std::string at = c.at;
        const std::string inTarget = at.substr(std::min(at.size(), std::string("Tolbe/").size()));
        if (expected.count(inTarget) != 0 && expected[inTarget] == "<link>") {
            expected[inTarget] = TreeBelow(run.Target())[inTarget];
        }

        EXPECT_EQ(run.Extract(), CZipImplement::kFailed);
        EXPECT_EQ(TreeBelow(outside), (Files{{"canary.txt", "canary"}}));
        EXPECT_EQ(outsideTarget(), before);
        if (!tolbe_test::IsHostLink(HostPathOf(run.Target())) &&
            fs::is_directory(HostPathOf(run.Target()))) {
            EXPECT_EQ(TreeBelow(run.Target()), expected);
        }
    }
}

#ifndef _WIN32
// A full disk: a child process extracts under a file size limit, so a write comes up short. The
// run fails; the file before stays whole and the cut one keeps what was written.
TEST_F(ZipImplementTest, AShortWriteFailsTheRun) {
    constexpr size_t kLimit = 64 * 1024;
    const std::string small = RandomBytes(1000, 7);
    MakeArchive({{"small.bin", small}, {"big.bin", RandomBytes(4 * kLimit, 8)}, {"z.txt", "z"}});
    const tolbe_test::ProcessResult child = tolbe_test::RunProcess(
        {TOLBE_EXTRACT_CHILD, std::to_string(kLimit), m_drives.Host(kArchive),
         m_drives.Host(R"(D:\Tolbe)"), std::to_string(tolbe_test::ExtractionWorkers())});
    ASSERT_EQ(child.exitStatus, 0) << child.err;
    EXPECT_EQ(child.out, "2\n");
    EXPECT_EQ(ReadHostFile(m_drives.Host(R"(D:\Tolbe\small.bin)")), small);
    EXPECT_EQ(fs::file_size(m_drives.Host(R"(D:\Tolbe\big.bin)")), kLimit);
    EXPECT_FALSE(tolbe_test::HostPathExists(m_drives.Host(R"(D:\Tolbe\z.txt)")));
}
#endif  // On Windows: a small drive (small_drive_win_test.cpp).

}  // namespace
