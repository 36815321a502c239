// CCmdInput: a command-input tool that stays active between clicks (the polyline
// editor is one). Tools sit on the command processor's stack; the drawing view gives
// the top tool its keys (OnKey) and pointer events (OnUpdateViews), and the processor
// tells it when a step ends, when it starts and when views are activated (OnNotify).
//
// A tool is made with new, started with CmdProcessor::SwitchCommand and deleted by
// the processor at an idle call after it left the stack. Its text buffer belongs to
// the caller and must outlive the tool; the tool window, when set, is owned.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/services/strtab.h"

struct Transform;
class VIEW;

// What CCmdInput::OnNotify is told.
enum InputNoticeCode : uint32_t {
    kNoticeStepGiven = 0,    // the step ended with result 0
    kNoticeStepEnded = 1,    // the step ended with a non-zero result
    kNoticeStart = 2,        // pushed to start running (view: the command window's)
    kNoticeOtherView = 4,    // another view of the same drawing activated while active
    kNoticeViewInactive = 5, // a view of the same drawing activated while inactive
    kNoticeOtherWindow = 6,  // a window that is no drawing view of this drawing activated
};

struct InputNotice {
    uint32_t code = 0;
    int32_t result = 0;  // in and out: a tool that ends itself sets it to 0
    VIEW* view = nullptr;
};

// Pointer events of OnUpdateViews.
enum InputPointerCode : int { kPointerPoint = 0, kPointerMove = 2, kPointerLeftDown = 3, kPointerUp = 4, kPointerRightDown = 5 };

// The modeless window a tool may own; destroyed with the tool.
class CmdToolWindow {
  public:
    virtual ~CmdToolWindow() = default;
};

// What a tool's typed text is read as.
enum CmdInputKind : uint32_t {
    kCmdInputText = 0,       // characters typed straight into the text
    kCmdInputTwoValues = 1,  // two numbers through the typed-entry dialog
    kCmdInputPoint = 2,      // a point through the typed-entry dialog
};

class CCmdInput {
  public:
    explicit CCmdInput(uint32_t command_id);
    virtual ~CCmdInput();
    CCmdInput(const CCmdInput&) = delete;
    CCmdInput& operator=(const CCmdInput&) = delete;

    // Draws the tool's cursor mark in XOR at window pixel (x, y). The base draws none.
    virtual void DrawMark(VIEW* view, int x, int y);
    // A key: Esc posts 1; digits open typed entry; the text kinds store characters.
    // Returns 1 when the key was handled.
    virtual int OnKey(int key, int repeat, int flags);
    // Pointer events (InputPointerCode) with the window position and model point; the
    // base handles code 0 only: the point becomes the last picked point of every view
    // of the tool's drawing.
    virtual void OnUpdateViews(int code, int flags, int x, int y, const float point[3]);
    // See InputNoticeCode. The base attaches (2, 4, 5) or detaches (0, 1, 6).
    virtual int OnNotify(InputNotice* notice);

    // The transform of the tool's view (mode 0: the view matrix and inverse).
    void GetViewTransform(Transform* out, int mode) const;
    // Shows or hides the mark in the tool's view only.
    void ShowMark(bool show);
    // 1 when active and the text holds three numbers ("%lg %lg %lg"), else 0.
    int GetPoint(float point[3]) const;

    CCmdInput* next = nullptr;  // stack or finished list
    uint32_t active = 0;
    uint32_t command_id = 0;
    VIEW* view = nullptr;
    uint32_t text_length = 0;
    uint32_t capacity = 0;        // bytes of text, terminator included
    char* text = nullptr;         // caller-owned
    CmdToolWindow* tool_window = nullptr;  // owned
    uint32_t prompt_id = kStrIdHelpPrompt;
    uint32_t help_id = 0;
    uint32_t input_kind = kCmdInputPoint;  // CmdInputKind
};
