#pragma once
// The real main window on the replica (every host on the loopback interface), with a recording skin
// library; a test may answer some requests itself (a slow page, a broken chart).
#include "client/main_window.h"
#include "client/market_window.h"
#include "client/program_state.h"
#include "client/rankings.h"
#include "helpers/skin.h"
#include "skin/recording_skin_library.h"
#include "support/pump.h"
#include "support/replica_loopback.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>

class PagesTest : public ::testing::Test {
protected:
    using Answer = std::function<std::optional<LoopbackReply>(const LoopbackRequest&)>;

    PagesTest()
        : replica_([this](const LoopbackRequest& r) {
              Answer answer;
              {
                  std::lock_guard<std::mutex> lock(answerLock_);
                  answer = answer_;
              }
              return answer ? answer(r) : std::nullopt;
          })
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(replica_.Start());
        host_ = replica_.Server().HostAndPort();
        ChartPictureAddress.Clear();
        image_ = RecordingSkinLibrary();
        SetSkinLibraryImageForTesting(image_.data());
        form = LoadMainWindow();
        ASSERT_TRUE(form.IsOpen());
        // The version check of the update timer is not what these tests are about.
        C("时钟1").SetInterval(0);
    }

    void TearDown() override
    {
        SetAnswer({});
        for (Form other : OpenForms())
            if (!(other == form))
                other.Destroy();
        form.Destroy();
        MainWindow = Form();
        SetSkinLibraryImageForTesting(nullptr);
    }

    void SetAnswer(Answer answer)
    {
        std::lock_guard<std::mutex> lock(answerLock_);
        answer_ = std::move(answer);
    }

    Control C(const char* name) const { return form.Control(name); }
    HWND H(const char* name) const { return form.Control(name).Handle(); }
    std::string Url(const std::string& path) const { return "http://" + host_ + path; }

    // How many requests for `path` the replica has seen.
    int Requests(const std::string& path)
    {
        int n = 0;
        for (const LoopbackRequest& r : replica_.Server().Requests())
            n += r.Path() == path;
        return n;
    }

    ReplicaLoopback replica_;
    std::string host_;
    std::vector<uint8_t> image_;
    Form form;

private:
    std::mutex answerLock_;
    Answer answer_;
};
