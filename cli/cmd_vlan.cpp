// VLAN commands: show vlans, vlan add/edit/delete/delete-all/home. They run the VLAN page's
// logic and report what changed in the list.
#include <algorithm>
#include <cctype>

#include "cli/cli.h"
#include "pages/vlan/vlan_config.h"
#include "pages/vlan/vlan_edit.h"

namespace brisfell::cli {
namespace {

const Schema& VlanSchema() {
  static const Schema schema = {
      {"vlan", NumberInText}, {"type"}, {"vlan_id", NumberValue}, {"ports", PortNamesValue}};
  return schema;
}

VlanList ReadList(Session& s) {
  VlanList list = RefreshVlanList(s.context());
  if (!list.read) throw Failure(ReadFailure(s, "reading the VLAN registers failed"));
  return list;
}

int ShowVlans(Session& s) {
  const VlanList list = ReadList(s);
  s.out().List("vlans", list.table, VlanSchema());
  s.out().Doc()["vlan_function"] = list.vlanFunction;
  s.out().Doc()["tag_vlan"] = list.tagVlan;
  s.out().Line(std::string("Vlan Function: ") + EnableText(list.vlanFunction));
  s.out().Line(std::string("TAG Vlan: ") + EnableText(list.tagVlan));
  return kExitOk;
}

// The VLAN registers whole: what a rebuild may change besides the list.
VlanImage ReadImage(Session& s) {
  const auto image = ReadVlanImage(s.engine(), s.context().Switch());
  if (!image) throw Failure("reading the VLAN registers failed");
  return *image;
}

// A register field the operation changed, typed: members as port names, tag modes as their
// words, indexes and IDs as numbers.
Json RegisterChangeJson(const VlanFieldChange& f) {
  std::string setting = f.setting;
  std::replace(setting.begin(), setting.end(), ' ', '_');
  std::transform(setting.begin(), setting.end(), setting.begin(), [](unsigned char ch) { return std::tolower(ch); });
  auto typed = [&](const std::string& text, uint32_t value) -> Json {
    if (setting == "members") return PortNamesValue(text == "none" ? "" : text);
    if (setting == "tag_mode") return text;
    return value;
  };
  Json j = Json::object();
  j["register"] = f.reg;
  if (f.highReg) j["high_register"] = f.highReg;
  j["of"] = f.subject;
  j["setting"] = setting;
  j["old"] = typed(f.before, f.beforeValue);
  j["new"] = typed(f.after, f.afterValue);
  return j;
}

// Runs a VLAN operation and reports how the list changed, then every register it changed.
int ApplyAndReport(Session& s, const VlanImage& image, const std::function<VlanOutcome()>& operation) {
  const int status = ExitStatusFor(s, operation());
  if (status != kExitOk) return status;
  const std::vector<int> portToChip = PortToChip(s.context());
  const VlanImage now = ReadImage(s);
  const VlanList before = VlanListOf(image, portToChip);
  const VlanList after = VlanListOf(now, portToChip);
  const auto changes = DiffLists(before.table, after.table, VlanSchema(), "");
  // The list shows the operator's VLANs only; a rebuild also moves port indexes and the
  // hidden entries. Every register that changed is named.
  const auto fields = DescribeVlanChanges(image, now, portToChip);
  if (changes.empty()) s.out().NothingToDo(fields.empty() ? "VLANs: nothing changed" : "VLANs: the list is unchanged");
  s.out().Changed(changes);
  Json registers = Json::array();
  for (const VlanFieldChange& f : fields) {
    s.out().Line(f.Text());
    registers.push_back(RegisterChangeJson(f));
  }
  s.out().Doc()["registers"] = registers;
  if (before.vlanFunction != after.vlanFunction) s.out().Line(std::string("Vlan Function: ") + EnableText(after.vlanFunction));
  s.out().Doc()["vlan_function"] = after.vlanFunction;
  s.out().Doc()["tag_vlan"] = after.tagVlan;
  return kExitOk;
}

// Only VLANs the list shows can be edited or deleted, as on the page.
void CheckListed(const VlanImage& image, int number) {
  if (!IsListedVlan(image.entries, number - 1)) throw Failure(Format("there is no Vlan %d (see 'show vlans')", number));
}

struct EditArgs {
  std::string number;
  std::string ports;
  std::string vid;
  CLI::Option* vidOption = nullptr;
};

int AddOrEdit(Session& s, const EditArgs& a, bool isNew) {
  const int number = isNew ? 0 : static_cast<int>(*ParseNumber(a.number));
  const bool tagged = a.vidOption->count() > 0;
  const std::vector<int> positions = s.Ports(a.ports);
  const VlanImage before = ReadImage(s);
  if (!isNew) CheckListed(before, number);

  VlanEditForm form;
  form.entry = isNew ? -1 : number - 1;
  form.portCount = s.context().PortCount();
  for (int p : positions) form.checked[p] = true;
  ChooseVlanType(form, tagged ? kVlanTagBased : kVlanPortBased);
  // The form's field holds the decimal text the page would parse.
  form.vlanIdText = tagged ? std::to_string(*ParseNumber(a.vid)) : "";
  return ApplyAndReport(s, before, [&] { return ApplyVlanEdit(s.context(), form); });
}

int Delete(Session& s, const std::string& numberText) {
  const int number = static_cast<int>(*ParseNumber(numberText));
  const VlanImage before = ReadImage(s);
  CheckListed(before, number);
  return ApplyAndReport(s, before, [&] { return DeleteVlanEntry(s.context(), number - 1); });
}

int DeleteAll(Session& s) {
  const VlanImage before = ReadImage(s);
  return ApplyAndReport(s, before, [&] { return DeleteAllVlans(s.context()); });
}

int Home(Session& s) {
  const VlanImage before = ReadImage(s);
  return ApplyAndReport(s, before, [&] { return ResetToHomeVlan(s.context()); });
}

CommandRegistrar registrar([](Commands& c) {
  static EditArgs add, edit;
  static std::string deleteNumber;
  const auto number = NumberCheck("VLAN number", 1, kOperatorEntries);
  const auto vlanId = NumberCheck("VLAN ID", 1, kMaxVlanId);

  c.Add(c.Group("show"), "vlans", "Show the VLAN list, with the VLAN function and tag-aware states",
        Needs::kSwitch, ShowVlans);

  CLI::App* vlan = c.Group("vlan");
  CLI::App* addCmd = c.Add(
      vlan, "add", "Add a VLAN: port-based, or tag-based with --vid", Needs::kSwitch,
      [](Session& s) { return AddOrEdit(s, add, true); }, true);
  addCmd->add_option("ports", add.ports, "Member ports, e.g. 1-4,9,G1")->required()->check(PortListCheck());
  add.vidOption = addCmd->add_option("--vid", add.vid, "802.1Q VLAN ID (1-4094): a tag-based VLAN")->check(vlanId);

  CLI::App* editCmd = c.Add(
      vlan, "edit", "Replace a VLAN's ports and type (no --vid: port-based)", Needs::kSwitch,
      [](Session& s) { return AddOrEdit(s, edit, false); }, true);
  editCmd->add_option("number", edit.number, "VLAN number, as listed")->required()->check(number);
  editCmd->add_option("ports", edit.ports, "Member ports, e.g. 1-4,9,G1")->required()->check(PortListCheck());
  edit.vidOption = editCmd->add_option("--vid", edit.vid, "802.1Q VLAN ID (1-4094): a tag-based VLAN")->check(vlanId);

  c.Add(
       vlan, "delete", "Delete a VLAN (no confirmation)", Needs::kSwitch,
       [](Session& s) { return Delete(s, deleteNumber); }, true)
      ->add_option("number", deleteNumber, "VLAN number, as listed")
      ->required()
      ->check(number);
  c.Add(vlan, "delete-all", "Delete every VLAN (no confirmation)", Needs::kSwitch, DeleteAll, true);
  c.Add(vlan, "home", "Reset to home VLAN mode (asks unless --yes)", Needs::kSwitch, Home, true);
});

}  // namespace
}  // namespace brisfell::cli
