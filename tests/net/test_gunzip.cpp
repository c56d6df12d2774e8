/* The inflation of a gzip download in place: the bound on the inflated
 * size, met exactly and passed by one byte, and what is left on the disk
 * when it is passed. */
#include "net/gunzip.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <zlib.h>

namespace {

/* One gzip member of `data`. */
std::string gzipOf(const std::string &data)
{
    z_stream s;
    memset(&s, 0, sizeof(s));
    EXPECT_EQ(deflateInit2(&s, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&s, (uLong)data.size()) + 64, '\0');
    s.next_in = (Bytef *)data.data();
    s.avail_in = (uInt)data.size();
    s.next_out = (Bytef *)&out[0];
    s.avail_out = (uInt)out.size();
    EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - s.avail_out);
    deflateEnd(&s);
    return out;
}

} // namespace

TEST(Gunzip, InflatedSizeIsBounded)
{
    const DWORD limit = 200000;   /* more than three of the inflation's chunks */
    struct BoundCase {
        DWORD size;
        DWORD result;
    };
    const BoundCase cases[] = {
        {limit - 1, 0},
        {limit, 0},
        {limit + 1, ERROR_INVALID_DATA},
        {limit * 40, ERROR_INVALID_DATA},
    };
    vqt::ScratchDir dir("netgunzip");
    std::string path = dir.file("body.tmp");
    std::wstring wide(path.begin(), path.end());
    for (const BoundCase &c : cases) {
        std::string data(c.size, '\0');
        for (DWORD i = 0; i < c.size; i++)
            data[i] = (char)('a' + i % 7);
        std::string packed = gzipOf(data);
        ASSERT_TRUE(vqt::WriteWholeFile(path, packed));
        EXPECT_EQ(InflateGzipFile(wide.c_str(), limit), c.result) << c.size;
        /* Inflated, or left as it came; no inflated bytes stay beside it. */
        EXPECT_TRUE(vqt::ReadWholeFile(path) == (c.result == 0 ? data : packed)) << c.size;
        EXPECT_FALSE(vqt::FileExistsA(path + ".unz")) << c.size;
    }
}
