#pragma once
// A document with small test definitions in a temp folder, for the file operations.
// The byte helpers of the format tests serve here too.
#include "../files/file_bytes.h"
#include "jobs/job_control.h"
#include "doc/tessiva_doc.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <ostream>
#include <set>
#include <string>
#include <vector>


// Readable failures: records as their fields.
inline void PrintTo(const CNVItem& r, std::ostream* os) {
    *os << "{id " << r.Id() << " index " << r.Index() << " count " << r.Count() << " active " << r.Active() << " size "
        << r.Size() << " name '" << r.Name() << "' group '" << r.Group() << "' value";
    for (uint8_t b : r.Value()) *os << ' ' << static_cast<int>(b);
    *os << "}";
}
inline void PrintTo(const CNVItemArray& list, std::ostream* os) {
    for (const auto& r : list) {
        *os << "\n  ";
        PrintTo(r, os);
    }
}

inline const char* const kTestDefinitions =
    "# name;ID;file;group;size[count];type\n"
    "Plain;10;/nv/item_files/10;GroupA;4;uint32\n"
    "Arr;20;/nv/20;GroupA;3[4];uint8\n"
    "Big;30;/nv/30;GroupB;80;uint8\n"
    "ArrBig;40;/nv/40;GroupB;7f[2];uint8\n"
    "Five;50;/nv/50;GroupC;5;uint8\n"
    "Zero;60;/nv/60;GroupC;0;uint8\n"
    "Three;70;/nv/70;GroupC;3[3];uint8\n"
    "Many;80;/nv/80;GroupD;1[100];uint8\n";

// Presses Cancel in the job with a given caption once it reports a position.
class CStopFrontend : public CTestFrontend {
public:
    void OnPosition(int p) override {
        CTestFrontend::OnPosition(p);
        if (jobs && !stopInCaption.empty() && jobs->Caption() == stopInCaption) {
            jobs->SetStopRequested(true);
            stopInCaption.clear();
        }
    }
    CJobControl* jobs = nullptr;
    std::string stopInCaption;
};

class DocFiles : public ::testing::Test {
protected:
    void SetUp() override {
        frontend.jobs = &jobs;
        dir = MakeTempDir("docfiles");
        WriteFile(dir + "/NVItemsDefine.def", kTestDefinitions);
        doc.SetDirectory(dir);
        ASSERT_TRUE(doc.LoadDefinitions().IsCompleted());
        frontend.ClearRecords();
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }

    // A complete record as a load leaves it; value as given (size follows it).
    CNVItem Item(int id, int index, const Bytes& value, int active = 1) const {
        const CNVItem& def = doc.Definitions()[doc.Definitions().FindById(id)];
        CNVItem r;
        r.SetId(id);
        r.SetIndex(def.Count() > 0 ? index : -1);
        r.SetCount(def.Count());
        r.SetName(def.Count() > 0 ? def.Name() + " [ " + std::to_string(index) + " ]" : def.Name());
        r.SetGroup(def.Group());
        r.SetFileName(def.FileName());
        r.SetTypeName(def.TypeName());
        r.SetActive(static_cast<int16_t>(active));
        r.SetValue(value);
        return r;
    }
    // Every element of an array item, inactive with zero values unless given in values.
    void AddArray(CNVItemArray& list, int id, const std::vector<std::pair<int, Bytes>>& values) const {
        const CNVItem& def = doc.Definitions()[doc.Definitions().FindById(id)];
        for (int k = 0; k < def.Count(); ++k) {
            Bytes value(static_cast<size_t>(def.Size()), 0);
            int active = 0;
            for (const auto& [index, v] : values)
                if (index == k) {
                    value = v;
                    active = 1;
                }
            list.Add(Item(id, k, value, active));
        }
    }
    // m_items := list (sorted), the "NV Items" tree lists all of it.
    void SetItems(const CNVItemArray& list) { ASSERT_TRUE(doc.SetRecords(list).IsCompleted()); }
    // Moves the records of these IDs to the "Selected NV Items" tree, in record order.
    void Select(std::initializer_list<int> ids) { (void)doc.SelectIds(std::vector<int>(ids)); }
    // The notes and the reason the front end would tell of an operation.
    static bool Tells(const SOutcome& outcome, const std::string& part) {
        if (outcome.reason.find(part) != std::string::npos) return true;
        for (const SNote& n : outcome.notes)
            if (n.text.find(part) != std::string::npos) return true;
        return false;
    }
    // What the front end would tell of the last operation: its reason, then its notes.
    std::vector<std::string> Told() const {
        std::vector<std::string> texts;
        const SOutcome& last = doc.LastOutcome();
        if (!last.reason.empty()) texts.push_back(last.reason);
        for (const SNote& n : last.notes) texts.push_back(n.text);
        return texts;
    }
    bool Told(const std::string& part) const { return Tells(doc.LastOutcome(), part); }
    // The document tells through outcomes; message boxes are the front end's.
    void TearDown() override { EXPECT_TRUE(frontend.Messages().empty()); }

    CStopFrontend frontend;
    CJobControl jobs{frontend, frontend, kTestStartPause};
    CTessivaDoc doc{jobs};
    std::string dir;
};

inline Bytes Seq(int n, int start = 1) {
    Bytes b(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(start + i);
    return b;
}
