#pragma once

#include "OfflineSwitch.h"
#include "TwoMachines.h"

#include <QHash>

#include <memory>

namespace velmor::test {

// Machines whose way to the cloud the test cuts and mends, each with a switch of its own.
class OfflineMachines : public TwoMachines {
protected:
    std::shared_ptr<cloud::Container> makeClient(Machine& machine) override
    {
        return OfflineSwitch::around(cloud.makeClient(), offline(machine));
    }
    std::shared_ptr<bool> offline(const Machine& machine)
    {
        auto& flag = offlineFlags_[&machine];
        if (!flag)
            flag = std::make_shared<bool>(false);
        return flag;
    }

private:
    QHash<const Machine*, std::shared_ptr<bool>> offlineFlags_;
};

} // namespace velmor::test
