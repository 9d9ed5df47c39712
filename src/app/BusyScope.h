#pragma once

namespace kv::app {

class ManagerModel;

// The busy pattern of a command: what it turns on at the start is turned off again at
// the end, on every way out, failures included; End() does so early, before a failure's
// message box.
class BusyScope {
public:
    enum Part : unsigned { Cursor = 1u, Window = 2u, Animation = 4u };

    BusyScope(ManagerModel& model, unsigned parts);
    ~BusyScope() { End(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    // Animation stopped, window enabled, normal cursor: whatever the scope started.
    void End();

private:
    ManagerModel& model_;
    unsigned parts_;
};

}  // namespace kv::app
