#include "runner/function_registry.h"

#include <memory>

#include "base/numeric.h"
#include "runner/file_access.h"
#include "runner/file_messages.h"
#include "runner/game_variables.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

using namespace builtin_args;


std::unique_ptr<RegistryStore>& Store() {
    static std::unique_ptr<RegistryStore> store;
    return store;
}

RegistryRoot g_root = RegistryRoot::CurrentUser;

std::string GameKey() {
    return "\\Software\\Kestrin\\" + std::to_string(GameValues().game_id);
}

ROUTINE(registry_write_real) {
    (void)CurrentRegistryStore().WriteReal(RegistryRoot::CurrentUser, GameKey(), a[0].str(), a[1].val());
}
ROUTINE(registry_write_string) {
    (void)CurrentRegistryStore().WriteString(RegistryRoot::CurrentUser, GameKey(), a[0].str(), a[1].str());
}
ROUTINE(registry_read_real) {
    r.SetReal(CurrentRegistryStore().ReadReal(RegistryRoot::CurrentUser, GameKey(), a[0].str()));
}
ROUTINE(registry_read_string) {
    r.SetString(CurrentRegistryStore().ReadString(RegistryRoot::CurrentUser, GameKey(), a[0].str()));
}
ROUTINE(registry_exists) {
    r.SetReal(CurrentRegistryStore().Exists(RegistryRoot::CurrentUser, GameKey(), a[0].str()) ? 1 : 0);
}
ROUTINE(registry_set_root) {
    g_root = RegistryRootFromNumber(RoundToInt32Saturated(a[0].val()));
}

bool MayWrite(std::string_view key) {
    if (!SecureMode()) return true;
    ReportRunError(std::string(msg::kSecureRegistry) + std::string(key), false);
    return false;
}

ROUTINE(registry_write_real_ext) {
    if (MayWrite(a[0].str()))
        (void)CurrentRegistryStore().WriteReal(g_root, a[0].str(), a[1].str(), a[2].val());
}
ROUTINE(registry_write_string_ext) {
    if (MayWrite(a[0].str()))
        (void)CurrentRegistryStore().WriteString(g_root, a[0].str(), a[1].str(), a[2].str());
}
ROUTINE(registry_exists_ext) {
    r.SetReal(CurrentRegistryStore().Exists(g_root, a[0].str(), a[1].str()) ? 1 : 0);
}
ROUTINE(registry_read_real_ext) {
    r.SetReal(CurrentRegistryStore().ReadReal(g_root, a[0].str(), a[1].str()));
}
ROUTINE(registry_read_string_ext) {
    r.SetString(CurrentRegistryStore().ReadString(g_root, a[0].str(), a[1].str()));
}

constexpr RFunctionSpec kFunctions[] = {
    {"registry_write_real", registry_write_real, 2},
    {"registry_write_string", registry_write_string, 2},
    {"registry_read_real", registry_read_real, 1},
    {"registry_read_string", registry_read_string, 1},
    {"registry_exists", registry_exists, 1},
    {"registry_set_root", registry_set_root, 1},
    {"registry_write_real_ext", registry_write_real_ext, 3},
    {"registry_write_string_ext", registry_write_string_ext, 3},
    {"registry_exists_ext", registry_exists_ext, 2},
    {"registry_read_real_ext", registry_read_real_ext, 2},
    {"registry_read_string_ext", registry_read_string_ext, 2},
};

} // namespace

std::span<const RFunctionSpec> RegistryFunctions() {
    return kFunctions;
}

void SetRegistryStore(const RegistryStore& store) {
    Store() = std::make_unique<RegistryStore>(store);
}

RegistryStore& CurrentRegistryStore() {
    if (!Store()) Store() = std::make_unique<RegistryStore>();
    return *Store();
}

void ResetRegistryState() {
    g_root = RegistryRoot::CurrentUser;
}

bool ReadSecureMode(const RegistryStore& store) {
    if (!store.KeyExists(RegistryRoot::CurrentUser, kPreferencesKey)) return false;
    const auto warning = store.ReadBool(RegistryRoot::CurrentUser, kPreferencesKey, "Warning");
    if (!warning) return false;
    const auto running = store.ReadBool(RegistryRoot::CurrentUser, kPreferencesKey, "KestrinRunning");
    return running ? *warning && *running : *warning;
}

} // namespace kestrin
