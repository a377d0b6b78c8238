// Applies one static profile several times from one process, as the window does when its
// user applies again: polkit keeps a granted right for the process that asked, so the
// window's later applies ask no more, which separate qic processes cannot show.
// usage: quorv-apply-repeat TIMES INTERFACE ADDRESS MASK GATEWAY DNS
#include <iostream>
#include <string>

#include "core/ApplyRun.h"
#include "system/ProgramFolder.h"

int main(int argc, char** argv) {
    if (argc != 7) {
        std::cerr << "usage: quorv-apply-repeat TIMES INTERFACE ADDRESS MASK GATEWAY DNS\n";
        return 2;
    }
    quorv::apply::Profile profile;
    profile.Interface = argv[2];
    profile.SetAddresses({argv[3]}, {argv[4]});
    profile.Gateway = argv[5];
    profile.DNS1 = argv[6];
    quorv::apply::SystemServices services(quorv::platform::ProgramFolder());
    int status = 0;
    for (int i = 1; i <= std::stoi(argv[1]); ++i) {
        quorv::apply::ApplyRun run(services, {}, nullptr);
        const quorv::apply::ApplyResult result = run.Run(profile, false);
        std::cout << "apply " << i << (result.Succeeded() ? " succeeded" : " failed") << std::endl;
        if (!result.Succeeded()) {
            std::cerr << quorv::apply::FailureSummary(result);
            status = 1;
        }
    }
    return status;
}
