// Hooks for tests and benchmarks: act on the controls as the user does.
#include <QAbstractButton>
#include <QLineEdit>

#include "platform/panel_registry.h"
#include "platform/test_hooks.h"
#include "platform/ui.h"

using namespace tarvo_ui;

namespace {

int Check(int panel, int control) {
  if (!FindPanel(panel)) return kErrPanel;
  if (!CtrlWidget(panel, control)) return kErrControl;
  return 0;
}

}  // namespace

int FireCtrlEvent(int panel, int control, int event) {
  return CallCtrlCallback(panel, control, event);
}

int FirePanelEvent(int panel, int event) { return CallPanelCallback(panel, event); }

bool PanelVisible(int panel) { return PanelShown(panel); }

bool CtrlDimmed(int panel, int control) {
  QWidget* w = CtrlWidget(panel, control);
  return w && !w->isEnabled();
}

bool CtrlVisible(int panel, int control) {
  QWidget* w = CtrlWidget(panel, control);
  QWidget* pw = PanelWidget(panel);
  return w && pw && w->isVisibleTo(pw) && PanelShown(panel);
}

// Returns 1 when the click reached the control, 0 when a dimmed or hidden
// control ignored it, negative for an unknown panel or control.
int ClickCtrl(int panel, int control) {
  if (int err = Check(panel, control)) return err;
  if (!CtrlVisible(panel, control) || CtrlDimmed(panel, control)) return 0;
  Control* c = FindControl(panel, control);
  const Kind kind = c->kind;
  QPointer<QWidget> w = c->widget;
  const QPoint centre = w->geometry().center();
  // Pressing the mouse button...
  CallCtrlCallback(panel, control, EVENT_LEFT_CLICK, centre.y(), centre.x());
  // ...and releasing it, on a control that may have changed meanwhile.
  if (!w || !FindControl(panel, control) || CtrlDimmed(panel, control) ||
      !CtrlVisible(panel, control))
    return 1;
  if (kind == Kind::kButton || kind == Kind::kToggle || kind == Kind::kRadio)
    static_cast<QAbstractButton*>(w.data())->click();  // toggles, then 2 and 1 or just 1
  return 1;
}

int RightClickCtrl(int panel, int control) {
  if (int err = Check(panel, control)) return err;
  // Help is asked for on dimmed controls too; a hidden control cannot be hit.
  if (!CtrlVisible(panel, control)) return 0;
  const QPoint centre = CtrlWidget(panel, control)->geometry().center();
  CallCtrlCallback(panel, control, EVENT_RIGHT_CLICK, centre.y(), centre.x());
  return 1;
}

// Returns 1 when the value was entered, 0 when the control is dimmed or
// hidden, negative when the control takes no such value.
int EnterCtrlVal(int panel, int control, double value) {
  if (int err = Check(panel, control)) return err;
  if (!CtrlVisible(panel, control) || CtrlDimmed(panel, control)) return 0;
  const Kind kind = FindControl(panel, control)->kind;
  switch (kind) {
    case Kind::kSpin:
    case Kind::kDoubleSpin:
    case Kind::kSlider:
    case Kind::kRing:
    case Kind::kPortList:
    case Kind::kToggle:
    case Kind::kRadio:
      break;
    case Kind::kLineEdit:
      if (static_cast<QLineEdit*>(CtrlWidget(panel, control))->isReadOnly()) return kErrControlType;
      break;
    default:
      return kErrControlType;
  }
  if (int r = SetCtrlVal(panel, control, value); r < 0) return r;
  CallCtrlCallback(panel, control, EVENT_VAL_CHANGED);
  if (FindControl(panel, control)) CallCtrlCallback(panel, control, EVENT_COMMIT);
  return 1;
}
