#include "scan/Unit_QLVO_CBGUI.h"
#include "scan/Unit_QLV_Thread.h"

#include "ScanFixture.h"

#include "platform/Text.h"

#include <deque>
#include <mutex>

namespace {

using namespace quelvo::scan;
using quelvo::platform::HandOverRunner;
using quelvo::platform::ToUtf8;

class FakeReceiver : public ScanReceiver {
public:
    void pro_cb_QV_Start() override { Add("start"); }
    void pro_cb_QV_Scan_ExeName(const std::u16string& name) override
    {
        keptNames.push_back(name);
        Add("name " + ToUtf8(name));
    }
    void pro_cb_QV_Scan_ExeInfo(const std::u16string& name, const std::u16string& path, int type) override
    {
        Add("info " + ToUtf8(name) + "|" + ToUtf8(path) + "|" + std::to_string(type));
    }
    void pro_cb_QV_End() override { Add("end"); }

    void Add(std::string call)
    {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(call));
    }

    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<std::u16string> keptNames;
};

class Bridges : public quelvo::scan::testing::ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        func_SetScanReceiver(&receiver);
    }
    void TearDown() override
    {
        func_SetScanReceiver(nullptr);
        ScanFixture::TearDown();
    }
    FakeReceiver receiver;
};

TEST_F(Bridges, shouldForwardEachCallAndReturnZero)
{
    EXPECT_EQ(cbgui_QV_Start(), 0);
    EXPECT_EQ(cbgui_QV_GetExeName(u".txt"), 0);
    EXPECT_EQ(cbgui_QV_ExeInfo(u".txt", u"C:\\a.exe", 1), 0);
    EXPECT_EQ(cbgui_QV_ExeInfo(u".doc", u"", 2), 0);
    EXPECT_EQ(cbgui_QV_End(), 0);
    EXPECT_EQ(receiver.calls, (std::vector<std::string>{"start", "name .txt", "info .txt|C:\\a.exe|1",
                                                        "info .doc||2", "end"}));
}

TEST_F(Bridges, shouldHandOverOwnedCopiesOfTheTexts)
{
    char16_t buffer[] = u".abc";
    cbgui_QV_GetExeName(buffer);
    buffer[1] = u'x';  // the worker reuses its texts after the call
    ASSERT_EQ(receiver.keptNames.size(), 1u);
    EXPECT_EQ(receiver.keptNames[0], u".abc");
}

TEST_F(Bridges, shouldDoNothingWithoutReceiver)
{
    func_SetScanReceiver(nullptr);
    EXPECT_EQ(cbgui_QV_Start(), 0);
    EXPECT_EQ(cbgui_QV_GetExeName(u".a"), 0);
    EXPECT_EQ(cbgui_QV_ExeInfo(u".a", u"", 2), 0);
    EXPECT_EQ(cbgui_QV_End(), 0);
    EXPECT_TRUE(receiver.calls.empty());
}

// A receiver that behaves like the window: the start, name and end calls are
// handed over to the owner's thread (here the test's), the outcome is taken on
// the worker's thread.
class HandingReceiver : public FakeReceiver {
public:
    void pro_cb_QV_Start() override { Hand([this] { FakeReceiver::pro_cb_QV_Start(); }); }
    void pro_cb_QV_Scan_ExeName(const std::u16string& name) override
    {
        Hand([this, name] { FakeReceiver::pro_cb_QV_Scan_ExeName(name); });
    }
    void pro_cb_QV_End() override
    {
        Hand([this] {
            FakeReceiver::pro_cb_QV_End();
            ended = true;
        });
    }
    void Hand(const std::function<void()>& method)
    {
        EXPECT_NE(std::this_thread::get_id(), owner);
        worker->Synchronize(method);
    }

    // The owner's loop: runs queued hand-overs until the end call was handled.
    void ServeUntilEnd()
    {
        while (!ended) {
            std::unique_lock lock(queueMutex);
            queueChanged.wait(lock, [this] { return !queue.empty(); });
            auto task = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            EXPECT_EQ(std::this_thread::get_id(), owner);
            task();
        }
    }

    HandOverRunner::Poster Poster()
    {
        return [this](HandOverRunner::Task task) {
            {
                std::lock_guard lock(queueMutex);
                queue.push_back(std::move(task));
            }
            queueChanged.notify_all();
        };
    }

    std::thread::id owner = std::this_thread::get_id();
    QLVO_Thread_Scan* worker = nullptr;
    bool ended = false;
    std::mutex queueMutex;
    std::condition_variable queueChanged;
    std::deque<HandOverRunner::Task> queue;
};

TEST_F(Bridges, shouldDriveAReceiverFromTheWorkerThroughHandOvers)
{
    registry.SetString(u"SOFTWARE\\Classes\\.abc", u"", u"abcfile");
    registry.SetString(u"SOFTWARE\\Classes\\abcfile\\Shell\\Open\\Command", u"", u"C:\\Abc\\abc.exe \"%1\"");
    registry.SetString(u"SOFTWARE\\Classes\\.zzz", u"", u"");

    HandingReceiver handing;
    func_SetScanReceiver(&handing);
    auto* worker = new QLVO_Thread_Scan;
    worker->mpu_dword_cb_QV_ExeInfo = cbgui_QV_ExeInfo;
    worker->mpu_dword_cb_QV_GetExeName = cbgui_QV_GetExeName;
    worker->mpu_dword_cb_QV_Start = cbgui_QV_Start;
    worker->mpu_dword_cb_QV_End = cbgui_QV_End;
    worker->SetHandOverRunner(std::make_shared<HandOverRunner>(handing.Poster()));
    handing.worker = worker;
    auto completion = worker->Completion();
    worker->Start();
    handing.ServeUntilEnd();
    ASSERT_TRUE(completion->WaitFor(10000));
    EXPECT_EQ(handing.calls, (std::vector<std::string>{"start", "name .abc", "info .abc|C:\\Abc\\abc.exe|1",
                                                       "name .zzz", "info .zzz||2", "end"}));
}

}  // namespace
