// Which help topic a control of the main panel or a dialog opens. Topics are pages of the help
// file ("::/4-1.htm": chapter, hyphen, page); a control or dialog without a page of its own opens
// the help file's start (the empty topic).
#pragma once

namespace kv {

// The topic of the dialog a toolbar control opens, or "" when it has none.
const char* helpTopicForControl(int controlId);
// The topic of a dialog template, or "".
const char* helpTopicForDialog(int templateId);

}  // namespace kv
