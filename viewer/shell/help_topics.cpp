#include "viewer/shell/help_topics.h"

#include <cstddef>

namespace kv {
namespace {

struct TopicEntry {
    int id;
    const char* topic;
};

// Toolbar commands whose dialogs have a page of their own.
const TopicEntry kControlTopics[] = {
    {1089, "::/4-1.htm"},   // "Configure Interface Card"
    {1090, "::/4-2.htm"},   // "Configure Environment"
    {1014, "::/4-5.htm"},   // "Configure Threshold"
    {1084, "::/4-12.htm"},  // "Save Project"
};

const TopicEntry kDialogTopics[] = {
    {136, "::/4-1.htm"},    // the interface-card (hardware information) dialog
    {135, "::/4-2.htm"},    // Configure Environment
    {119, "::/4-5.htm"},    // Configure Threshold
    {129, "::/4-12.htm"},   // Save Project
};

template <size_t N>
const char* find(const TopicEntry (&table)[N], int id) {
    for (const TopicEntry& e : table)
        if (e.id == id) return e.topic;
    return "";
}

}  // namespace

const char* helpTopicForControl(int controlId) { return find(kControlTopics, controlId); }
const char* helpTopicForDialog(int templateId) { return find(kDialogTopics, templateId); }

}  // namespace kv
