// Form1's behaviour: start-up, file commands, help and the entry panel, as plain C++ over the
// entry model, the platform services and the controls.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "entrylist/model.h"
#include "form_view.h"
#include "platform/platform.h"

namespace pallomar {

// The first argument of an ANSI command line: blanks (every byte up to and including the
// space) separate, double quotes group and vanish, an empty pair of quotes before an argument
// is skipped, no backslash escapes. Empty when there is none.
std::string FirstArgument(std::string_view commandLine);

class TForm1 {
 public:
  TForm1(FormView& view, platform::Platform& platform,
         const CodePage& cp = ActiveCodePage());

  // Handlers (no exception escapes them: see Dispatch).
  void Button1Click();
  void ButtondelClick();
  void ButtonaddClick();
  void ButtonupClick();
  void ButtondownClick();
  void About1Click();
  void Exit1Click();
  void New1Click();
  void S1Click();
  void Open1Click();
  void ButtoneraseClick();
  void FormShow();
  void ButtoninfoClick();
  void SearchforHelpOn1Click();
  void ListBox1DblClick();
  void FormClose();
  void WMDropFiles(platform::DropHandle drop);

  const ListModel& Model() const { return model_; }
  ListModel& Model() { return model_; }

  platform::TOpenDialog OpenDialog1;
  platform::TOpenDialog OpenDialog2;
  platform::TSaveDialog SaveDialog1;

  // Runs `handler`; an error it raises goes to the default error box and the program goes on.
  void Dispatch(const std::function<void()>& handler);

 private:
  void SetCurrentFile(const std::string& path);
  void LoadListFile(const std::string& path);
  void ClearAll();

  FormView& view_;
  platform::Platform& platform_;
  const CodePage* cp_;
  ListModel model_;
};

}  // namespace pallomar
