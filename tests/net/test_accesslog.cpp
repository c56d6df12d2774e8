/* The download access log: the record's columns, and whole records under
 * concurrent writers. */
#include "net/accesslog.h"
#include "net/httpengine.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <atomic>
#include <stdlib.h>
#include <string>
#include <thread>
#include <vector>

TEST(AccessLog, RecordsLandWholeUnderConcurrentWriters)
{
    char *record = FormatAccessLogRecord("\n 26-12-07\t\t  18:34:05\t", "", DOWNLOAD_FILE, 5000, 12002, 1000,
                                         "18:35:00", L"127.0.0.1", 8080, L"/a/");
    ASSERT_NE(record, nullptr);
    /* The start prefix is the record's first column; an empty file name
     * shows as "--". */
    EXPECT_EQ(std::string(record), "\n \n 26-12-07\t\t  18:34:05\t\t\t" + std::string(28, ' ') +
                                       "--\tDownloadFile\t      5000\t12002\t      1000\t  18:35:00\t\t"
                                       "      127.0.0.1\t  8080\t/a/");
    vqt::ScratchDir dir("netlog");
    std::string path = dir.file("logs\\access.log");
    std::vector<std::thread> writers;
    std::atomic<int> failed(0);
    for (int t = 0; t < 4; t++)
        writers.emplace_back([&] {
            for (int i = 0; i < 50; i++)
                if (!AppendAccessLogRecord(path.c_str(), record))
                    failed++;
        });
    for (std::thread &w : writers)
        w.join();
    EXPECT_EQ(failed.load(), 0);
    std::string text = vqt::ReadWholeFile(path);
    std::string crlf;
    for (char ch : std::string(record)) {
        if (ch == '\n')
            crlf += '\r';
        crlf += ch;
    }
    const size_t headerBytes = 262 + 1;   /* its one line end is stored as CR LF */
    ASSERT_EQ(text.size(), headerBytes + 200 * crlf.size());
    EXPECT_EQ(text.compare(0, 4, "DATE"), 0);
    for (size_t at = headerBytes; at < text.size(); at += crlf.size())
        ASSERT_EQ(text.compare(at, crlf.size(), crlf), 0) << at;
    free(record);
}
