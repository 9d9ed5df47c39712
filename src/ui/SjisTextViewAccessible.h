#pragma once

namespace kv::ui {

// Makes the text views readable by screen readers: the text interface covers the line that
// holds the caret (offsets are columns in it), with the caret and the part of the selection
// on that line; the value is the whole selection. A text of millions of lines is never
// handed over whole. Call before the first view is shown; calls after the first do nothing.
void InstallSjisTextViewAccessible();

}  // namespace kv::ui
