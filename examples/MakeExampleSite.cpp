// Adds (or replaces) an FTP site in the per-user store, for scripts that set
// up an upload without the site manager:
//   make_example_site NAME HOST PORT USER [INITIAL_FOLDER]
// The password is read from the first line of standard input, so it shows up
// neither in the process list nor in the shell history; it is stored
// enciphered, like a password saved in the site manager. The store is the one
// the program reads (XDG_CONFIG_HOME moves it).
#include "ServerStore.h"

#include <QCoreApplication>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tessaly");
    QCoreApplication::setOrganizationName("Quorvane Software");
    if (argc < 5 || argc > 6) {
        std::fprintf(stderr, "usage: %s NAME HOST PORT USER [INITIAL_FOLDER] < password\n",
                     argv[0]);
        return 2;
    }
    tessaly::TServerData site;
    site.ItemName = argv[1];
    site.HostName = argv[2];
    std::string port = argv[3];
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), site.Port);
    if (ec != std::errc() || end != port.data() + port.size() || site.Port < 1 ||
        site.Port > 65535) {
        std::fprintf(stderr, "not a port: %s\n", argv[3]);
        return 2;
    }
    site.Username = argv[4];
    if (argc == 6)
        site.HostDirName = argv[5];
    if (std::string problem = tessaly::SiteNameProblem(site.ItemName); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    std::getline(std::cin, site.Password);
    site.SavePassword = true;
    site.PassiveMode = true;
    site.Timeout = 60;

    tessaly::TServerStore store;
    std::vector<tessaly::TServerData> sites;
    std::string error;
    if (!store.LoadProfiles(sites, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::erase_if(sites, [&](const tessaly::TServerData& s) {
        return tessaly::FoldCase(s.ItemName) == tessaly::FoldCase(site.ItemName);
    });
    sites.push_back(site);
    if (!store.SaveProfiles(sites, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", store.Store().File().c_str());
    return 0;
}
