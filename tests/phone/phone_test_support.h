#pragma once
// A simulated phone served in-process on a pseudo-terminal, and a document wired to it.
#include "phone/qlib.h"
#include "sim/sim_phone.h"
#include "sim/sim_pty_server.h"
#include "doc/tessiva_doc.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Items of the tests: plain items, two arrays, and items the phone answers oddly.
inline const char* const kPhoneTestDefinitions =
    "# name;id;file;group;size;type\n"
    "Plain Ten;10;nv10;Alpha;4;uint32\n"
    "Array Twenty;20;nv20;Beta;2[3];uint16\n"
    "Thirty;30;nv30;Alpha;1;uint8\n"
    "Thirty One;31;nv31;Alpha;1;uint8\n"
    "Thirty Two;32;nv32;Alpha;1;uint8\n"
    "Thirty Three;33;nv33;Alpha;1;uint8\n"
    "Forty;40;nv40;Alpha;2;uint16\n"
    "Fifty;50;nv50;Gamma;3;uint8\n"
    "Array Sixty;60;nv60;Beta;1[2];uint8\n";

// Cancel at a position only within the job of one caption (the upload, not the list reading).
class CPhoneTestFrontend : public CTestFrontend {
public:
    void OnPosition(int p) override {
        if (control && control->Caption() == cancelCaption) CTestFrontend::OnPosition(p);
        else position = p;
    }
    void ShowMessage(const std::string& text, EMessageIcon icon, const std::string& caption) override {
        {
            std::lock_guard lock(m_captionMutex);
            m_captions.push_back(caption);
        }
        CTestFrontend::ShowMessage(text, icon, caption);
    }
    std::vector<std::string> MessageCaptions() const {
        std::lock_guard lock(m_captionMutex);
        return m_captions;
    }

    const CJobControl* control = nullptr;
    std::string cancelCaption = "Uploading NV Items from Mobile Phone";

private:
    mutable std::mutex m_captionMutex;
    std::vector<std::string> m_captions;
};

struct SPhoneOnPty {
    SPhoneOnPty(const SSimPhoneOptions& phoneOptions, const SSimLineOptions& lineOptions)
        : phone(store, phoneOptions), server(phone, lineOptions) {}
    CSimNvStore store;
    CSimPhone phone;
    CSimPtyServer server;
};

class PhoneDocTest : public ::testing::Test {
protected:
    static constexpr int kAnsweringTimeoutMs = 3000;
    static constexpr int kSilentTimeoutMs = 300;
    void SetUp() override {
        // A phone that answers never waits for it, however loaded the machine; the tests of a
        // silent phone shorten it.
        doc.Phone().Settings().requestTimeoutMs = kAnsweringTimeoutMs;
        t.frontend.control = &t.jobs;
        m_dir = MakeTempDir("phone");
        WriteFile(m_dir + "/NVItemsDefine.def", kPhoneTestDefinitions);
        doc.SetDirectory(m_dir);
        doc.Phone().Settings().backupFolder = m_dir + "/backups";
        ASSERT_TRUE(doc.LoadDefinitions().IsCompleted());
    }
    void TearDown() override {
        doc.Phone().Disconnect();
    }

    // Starts the phone with the store filled by fill, and connects the document to it.
    template <class Fill>
    void StartPhone(Fill fill, const SSimPhoneOptions& phoneOptions = {}, const SSimLineOptions& lineOptions = {}) {
        sim = std::make_unique<SPhoneOnPty>(phoneOptions, lineOptions);
        sim->store.SetDefinitions(doc.Definitions());
        fill(sim->store);
        std::string error;
        ASSERT_TRUE(sim->server.Open(error)) << error;
        sim->server.Start();
        doc.Phone().Settings().portName = sim->server.DevicePath();
        const SOutcome connected = doc.Phone().Connect();
        ASSERT_TRUE(connected.IsCompleted()) << connected.reason;
    }
    void StartPhone() {
        StartPhone([](CSimNvStore&) {});
    }
    // Keeps a phone operation's outcome, whose report the test reads after it as Report().
    const SPhoneOutcome& Kept(SPhoneOutcome outcome) {
        m_last = std::move(outcome);
        return m_last;
    }
    const CDownloadReport& Report() const { return m_last.report; }
    std::string WriteList(const std::string& text) {
        const std::string path = m_dir + "/list.csv";
        WriteFile(path, "NV Item Name;NV ID\n" + text);
        return path;
    }

    struct {
        CPhoneTestFrontend frontend;
        CJobControl jobs{frontend, frontend, kTestStartPause};
    } t;
    CTessivaDoc doc{t.jobs};
    std::unique_ptr<SPhoneOnPty> sim;
    std::string m_dir;
    SPhoneOutcome m_last;
};
