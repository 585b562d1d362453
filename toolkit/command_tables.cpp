// The item messages of the control kinds that elements use.
#include "toolkit/control.h"

namespace fliran {

namespace {

void ClearEdit(TControl* control) { control->SetText(""); }

void ClearComboBox(TControl* control) { control->SendToControl(CB_RESETCONTENT, 0, 0); }

TCommandTable MakeEditCommands() {
  TCommandTable t;
  t.Clear = &ClearEdit;
  t.ClickCode = 0;  // an edit control sends no click notification
  t.FocusInCode = EN_SETFOCUS;
  t.FocusOutCode = EN_KILLFOCUS;
  t.ChangeCode = EN_CHANGE;
  t.SelectionCode = 0;
  t.ItemCount = EM_GETLINECOUNT;
  t.ItemTextLength = EM_LINELENGTH;
  t.GetItemText = EM_GETLINE;
  t.SetItemText = EM_REPLACESEL;
  t.GetCurrentIndex = EM_LINEINDEX;
  t.GetSelection = EM_GETSEL;
  t.SetSelection = EM_SETSEL;
  t.TextLimit = EM_LIMITTEXT;
  t.AlignLeft = ES_LEFT;
  t.AlignRight = ES_RIGHT;
  t.AlignCenter = ES_CENTER;
  t.AlignMask = ES_LEFT | ES_CENTER | ES_RIGHT;
  return t;
}

TCommandTable MakeComboBoxCommands() {
  TCommandTable t;
  t.Clear = &ClearComboBox;
  t.ClickCode = CBN_DBLCLK;
  t.FocusInCode = CBN_SETFOCUS;
  t.FocusOutCode = CBN_KILLFOCUS;
  t.ChangeCode = CBN_EDITCHANGE;
  t.SelectionCode = ComboSelectionCode;
  t.ItemCount = CB_GETCOUNT;
  t.ItemTextLength = CB_GETLBTEXTLEN;
  t.GetItemText = CB_GETLBTEXT;
  t.SetItemText = 0;  // delete and insert
  t.GetItemValue = CB_GETITEMDATA;
  t.SetItemValue = CB_SETITEMDATA;
  t.AddItemText = CB_ADDSTRING;
  t.DeleteItem = CB_DELETESTRING;
  t.InsertItemText = CB_INSERTSTRING;
  t.FindExact = CB_FINDSTRINGEXACT;
  t.FindPrefix = CB_FINDSTRING;
  t.GetCurrentIndex = CB_GETCURSEL;
  t.SetCurrentIndex = CB_SETCURSEL;
  return t;
}

TCommandTable MakeButtonCommands() {
  TCommandTable t;
  t.ClickCode = BN_CLICKED;
  t.FocusInCode = BN_SETFOCUS;
  t.FocusOutCode = BN_KILLFOCUS;
  t.AlignLeft = BS_LEFT;
  t.AlignRight = BS_RIGHT;
  t.AlignCenter = BS_CENTER;
  t.AlignMask = BS_CENTER;
  return t;
}

TCommandTable MakeLabelCommands() {
  TCommandTable t;
  t.ClickCode = STN_CLICKED;
  // Labels are single lines: "left" keeps the no-word-wrap form they are made with.
  t.AlignLeft = SS_LEFTNOWORDWRAP;
  t.AlignRight = SS_RIGHT;
  t.AlignCenter = SS_CENTER;
  t.AlignMask = SS_TYPEMASK;
  return t;
}

}  // namespace

const TCommandTable EditCommands = MakeEditCommands();
const TCommandTable ComboBoxCommands = MakeComboBoxCommands();
const TCommandTable ButtonCommands = MakeButtonCommands();
const TCommandTable LabelCommands = MakeLabelCommands();

}  // namespace fliran
