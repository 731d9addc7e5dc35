// Keeps the headless platform library non-empty while it has no services of its own yet.
namespace kestrin::platform_null {
int placeholder_symbol = 0;
}
