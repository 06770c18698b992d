// VLAN commands: show vlans, vlan add/edit/delete/delete-all/home. They run the VLAN page's
// logic; after a change the list is printed again, as the page refreshes.
#include <algorithm>
#include <cctype>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "pages/vlan/vlan_config.h"
#include "pages/vlan/vlan_edit.h"

namespace brisfell::cli {
namespace {

constexpr const char* kReadFailed = "reading the VLAN registers failed";

int ShowList(Session& s) {
  const VlanList list = RefreshVlanList(s.context());
  if (!list.read) {
    s.Error(kReadFailed);
    return kExitFailed;
  }
  if (s.Options().json) {
    nlohmann::ordered_json out;
    out["columns"] = list.table.columns;
    out["rows"] = list.table.rows;
    out["vlanFunction"] = EnableText(list.vlanFunction);
    out["tagVlan"] = EnableText(list.tagVlan);
    std::cout << out.dump() << "\n";
    return kExitOk;
  }
  s.PrintTable(list.table);
  std::cout << "Vlan Function: " << EnableText(list.vlanFunction) << "\n"
            << "TAG Vlan: " << EnableText(list.tagVlan) << "\n";
  return kExitOk;
}

int ShowVlans(Session& s) {
  if (!s.SelectSwitch()) return kExitFailed;
  return ShowList(s);
}

// What the command line makes of an operation's outcome; refusals were already printed.
int Finish(Session& s, VlanOutcome outcome) {
  switch (outcome) {
    case VlanOutcome::kWritten:
      return ShowList(s);
    case VlanOutcome::kReadFailed:
      s.Error(kReadFailed);
      return kExitFailed;
    case VlanOutcome::kWriteFailed:
      s.Error("the adapter cannot be opened for register access");
      return kExitFailed;
    case VlanOutcome::kNothing:
      s.Error("no switch is selected");
      return kExitFailed;
    case VlanOutcome::kRefused:
    case VlanOutcome::kDeclined:
    case VlanOutcome::kNoSelection:
      return kExitFailed;
  }
  return kExitFailed;
}

// A VLAN number 1-31; 0 when malformed.
int ParseVlanNumber(const std::string& text) {
  auto n = ParseNumber(text);
  return n && *n >= 1 && *n <= static_cast<uint32_t>(kOperatorEntries) ? static_cast<int>(*n) : 0;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// Only VLANs the list shows can be edited or deleted, as on the page.
bool Listed(Session& s, int number, int& status) {
  const VlanList list = RefreshVlanList(s.context());
  if (!list.read) {
    s.Error(kReadFailed);
    status = kExitFailed;
    return false;
  }
  if (std::find(list.rowEntries.begin(), list.rowEntries.end(), number - 1) == list.rowEntries.end()) {
    s.Error(Format("there is no Vlan %d (see 'show vlans')", number));
    status = kExitFailed;
    return false;
  }
  return true;
}

struct EditArgs {
  std::string number;
  std::string ports;
  std::string vid;
  bool hasVid = false;
};

int AddOrEdit(Session& s, const EditArgs& a, bool isNew) {
  int number = 0;
  if (!isNew && (number = ParseVlanNumber(a.number)) == 0) {
    s.Error("VLAN NUMBER must be 1 to 31");
    return kExitUsage;
  }
  if (a.hasVid && !AllDigits(a.vid)) {
    s.Error("--vid takes a decimal VLAN ID");
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  PageContext& ctx = s.context();
  const int n = ctx.PortCount();
  const auto positions = ParsePortList(a.ports, n);
  if (!positions) {
    s.Error("bad PORTLIST: " + a.ports + " (e.g. 1-4,9" + std::string(n > 24 ? ",G1" : "") + ")");
    return kExitUsage;
  }
  if (!isNew) {
    int status = kExitOk;
    if (!Listed(s, number, status)) return status;
  }

  VlanEditForm form;
  form.entry = isNew ? -1 : number - 1;
  form.portCount = n;
  for (int p : *positions) form.checked[p] = true;
  ChooseVlanType(form, a.hasVid ? kVlanTagBased : kVlanPortBased);
  form.vlanIdText = a.hasVid ? a.vid : "";
  return Finish(s, ApplyVlanEdit(ctx, form));
}

int Delete(Session& s, const std::string& numberText) {
  const int number = ParseVlanNumber(numberText);
  if (number == 0) {
    s.Error("VLAN NUMBER must be 1 to 31");
    return kExitUsage;
  }
  if (!s.SelectSwitch()) return kExitFailed;
  int status = kExitOk;
  if (!Listed(s, number, status)) return status;
  return Finish(s, DeleteVlanEntry(s.context(), number - 1));
}

int DeleteAll(Session& s) {
  if (!s.SelectSwitch()) return kExitFailed;
  return Finish(s, DeleteAllVlans(s.context()));
}

int Home(Session& s) {
  if (!s.SelectSwitch()) return kExitFailed;
  return Finish(s, ResetToHomeVlan(s.context()));
}

CommandRegistrar registrar([](CLI::App& app, Session& s, CommandAction& run) {
  static EditArgs add, edit;
  static std::string deleteNumber;

  CLI::App* show = SharedSubcommand(app, "show", "Show what a page shows");
  OnRun(show->add_subcommand("vlans", "The VLAN list, with the VLAN function and tag-aware states"), run,
        [&s] { return ShowVlans(s); });

  CLI::App* vlan = app.add_subcommand("vlan", "Add, edit and delete VLANs; clear the table or set home VLANs");
  vlan->require_subcommand(1);

  CLI::App* addCmd = vlan->add_subcommand("add", "Add a VLAN: port-based, or tag-based with --vid");
  addCmd->add_option("ports", add.ports, "Member ports, e.g. 1-4,9,G1")->required();
  CLI::Option* addVid = addCmd->add_option("--vid", add.vid, "802.1Q VLAN ID (1-4094): a tag-based VLAN");
  OnRun(addCmd, run, [&s, addVid] {
    add.hasVid = addVid->count() > 0;
    return AddOrEdit(s, add, true);
  });

  CLI::App* editCmd = vlan->add_subcommand("edit", "Replace a VLAN's ports and type (no --vid: port-based)");
  editCmd->add_option("number", edit.number, "VLAN number, as listed")->required();
  editCmd->add_option("ports", edit.ports, "Member ports, e.g. 1-4,9,G1")->required();
  CLI::Option* editVid = editCmd->add_option("--vid", edit.vid, "802.1Q VLAN ID (1-4094): a tag-based VLAN");
  OnRun(editCmd, run, [&s, editVid] {
    edit.hasVid = editVid->count() > 0;
    return AddOrEdit(s, edit, false);
  });

  CLI::App* del = vlan->add_subcommand("delete", "Delete a VLAN (no confirmation)");
  del->add_option("number", deleteNumber, "VLAN number, as listed")->required();
  OnRun(del, run, [&s] { return Delete(s, deleteNumber); });

  OnRun(vlan->add_subcommand("delete-all", "Delete every VLAN (no confirmation)"), run,
        [&s] { return DeleteAll(s); });
  OnRun(vlan->add_subcommand("home", "Reset to home VLAN mode (asks unless --yes)"), run, [&s] { return Home(s); });
});

}  // namespace
}  // namespace brisfell::cli
