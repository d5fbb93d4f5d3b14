#include "files/gsf_notes.h"

#include <gsf/gsf-utils.h>
#include <glib.h>

#include <mutex>
#include <utility>

namespace {
thread_local std::string* t_notes = nullptr;

void Note(const char* message) {
    if (!t_notes || !message) return;
    if (t_notes->size() > 4096) return;  // a storm of warnings adds nothing after the first few
    if (!t_notes->empty()) *t_notes += "; ";
    *t_notes += message;
}

void CollectNote(const gchar*, GLogLevelFlags, const gchar* message, gpointer) { Note(message); }

// libgsf's generic infile code logs without a domain; outside our reading, such messages
// are someone else's and keep their default output.
void CollectUndomainedNote(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer data) {
    if (t_notes)
        Note(message);
    else
        g_log_default_handler(domain, level, message, data);
}

}  // namespace

void InitGsf() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const auto levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL |
                                                        G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
        g_log_set_handler("libgsf:msole", levels, CollectNote, nullptr);
        g_log_set_handler("libgsf", levels, CollectNote, nullptr);
        g_log_set_handler(nullptr, levels, CollectUndomainedNote, nullptr);
    });
}

CGsfNotesScope::CGsfNotesScope(std::string& notes) : m_previous(std::exchange(t_notes, &notes)) {}

CGsfNotesScope::~CGsfNotesScope() { t_notes = m_previous; }
