// A child process for the store tests.
//   store_writer values FILE KEY COUNT: writes COUNT values under KEY, one
//     write each.
//   store_writer sites FILE: saves the same 20 sites with two sets of values in
//     turn, without
//     end, printing "saved" after the first save.
#include "ServerStore.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace tessaly;

std::vector<TServerData> SiteSet(char which) {
    std::vector<TServerData> list;
    for (int i = 0; i < 20; ++i) {
        TServerData s;
        s.ItemName = "Site " + std::to_string(i);
        s.HostName = std::string(200, which);
        s.Password = "pw";
        s.SavePassword = true;
        s.Port = which == 'A' ? 21 : 2121;
        s.Timeout = 60;
        list.push_back(s);
    }
    return list;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc >= 5 && std::string(argv[1]) == "values") {
        TUserStore store(argv[2]);
        int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i) {
            std::string error;
            if (!store.Write(
                    [&](StoreData& d) {
                        return d.SetValue(argv[3], "v" + std::to_string(i), std::to_string(i));
                    },
                    &error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
        }
        return 0;
    }
    if (argc >= 3 && std::string(argv[1]) == "sites") {
        TServerStore sites{TUserStore(argv[2])};
        for (unsigned n = 0;; ++n) {
            // The same sites each time, with the values of one set or the other.
            std::vector<TServerData> list = SiteSet(n % 2 ? 'B' : 'A');
            std::string error;
            if (!sites.SaveProfiles(list, error)) {
                std::fprintf(stderr, "save failed: %s\n", error.c_str());
                return 1;
            }
            if (n == 0) {
                std::printf("saved\n");
                std::fflush(stdout);
            }
        }
    }
    return 2;
}
