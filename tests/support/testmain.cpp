/* The main of every test program: GoogleTest's own, except how a failed or
 * skipped check is printed. GoogleTest also hands each such message to
 * OutputDebugString, which Windows delivers by raising an exception and
 * unwinding it; where i386 code runs under qemu-user (tools/i386-exec) that
 * unwinding kills the test program, so the first failed check ended the
 * run without its summary. The default printer is kept for everything else;
 * the check's message goes to standard output only. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <memory>

namespace {

using ::testing::TestEventListener;
using ::testing::TestPartResult;

class StdoutPartResultPrinter : public TestEventListener {
public:
    explicit StdoutPartResultPrinter(TestEventListener *inner) : inner_(inner) {}

    void OnTestPartResult(const TestPartResult &r) override
    {
        if (r.type() == TestPartResult::kSuccess)
            return;
        const char *kind = r.type() == TestPartResult::kSkip ? "Skipped" : "Failure";
        if (r.file_name())
            printf("%s:%d: %s\n%s\n", r.file_name(), r.line_number(), kind, r.message());
        else
            printf("unknown file: %s\n%s\n", kind, r.message());
        fflush(stdout);
    }

    void OnTestProgramStart(const ::testing::UnitTest &u) override { inner_->OnTestProgramStart(u); }
    void OnTestIterationStart(const ::testing::UnitTest &u, int i) override { inner_->OnTestIterationStart(u, i); }
    void OnEnvironmentsSetUpStart(const ::testing::UnitTest &u) override { inner_->OnEnvironmentsSetUpStart(u); }
    void OnEnvironmentsSetUpEnd(const ::testing::UnitTest &u) override { inner_->OnEnvironmentsSetUpEnd(u); }
    void OnTestSuiteStart(const ::testing::TestSuite &s) override { inner_->OnTestSuiteStart(s); }
    void OnTestStart(const ::testing::TestInfo &t) override { inner_->OnTestStart(t); }
    void OnTestEnd(const ::testing::TestInfo &t) override { inner_->OnTestEnd(t); }
    void OnTestSuiteEnd(const ::testing::TestSuite &s) override { inner_->OnTestSuiteEnd(s); }
    void OnEnvironmentsTearDownStart(const ::testing::UnitTest &u) override { inner_->OnEnvironmentsTearDownStart(u); }
    void OnEnvironmentsTearDownEnd(const ::testing::UnitTest &u) override { inner_->OnEnvironmentsTearDownEnd(u); }
    void OnTestIterationEnd(const ::testing::UnitTest &u, int i) override { inner_->OnTestIterationEnd(u, i); }
    void OnTestProgramEnd(const ::testing::UnitTest &u) override { inner_->OnTestProgramEnd(u); }

private:
    std::unique_ptr<TestEventListener> inner_;
};

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::TestEventListeners &listeners = ::testing::UnitTest::GetInstance()->listeners();
    TestEventListener *printer = listeners.Release(listeners.default_result_printer());
    if (printer)
        listeners.Append(new StdoutPartResultPrinter(printer));
    return RUN_ALL_TESTS();
}
