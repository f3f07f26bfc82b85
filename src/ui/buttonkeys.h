#pragma once

class QKeyEvent;
class QString;
class QWidget;

// Two habits of the platform's dialogs that Qt's push buttons do not have by themselves:
// - Enter presses the push button that has the focus, as Space does; the window's default button is
//   pressed by Enter only from controls that are not push buttons (Qt would press the default button, or
//   nothing, from a focused button that is not an "auto default" one).
// - Screen readers name each button by its caption without the accelerator mark: "キャンセル (&X)" is
//   read as "キャンセル", not "キャンセル (X)".
// Call once, after the window's buttons exist; a name set by the window itself is kept.
void followButtonConventions(QWidget *window);

// "閉じる (&X)" -> "閉じる", "登録(&S)" -> "登録"; a lone "&" before a letter is dropped, "&&" gives "&".
QString captionWithoutAccelerator(const QString &caption);

// The key filter of the number boxes: true when the key may reach the box (digits, Backspace, Ctrl-C,
// Ctrl-V, keys that type nothing); false for any other character, whatever modifiers are held.
bool acceptDigitKey(const QKeyEvent *key);
