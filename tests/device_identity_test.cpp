// Which disk a run measured: the sysfs walk over trees shaped as real machines' are, and over
// this machine's own; the link ceilings and their notes on both sides of each ceiling; the
// Windows storage answers as bytes; and what the results file and the page say of it.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "device/identity.hpp"
#include "device/link_ceiling.hpp"
#include "device/link_notes.hpp"
#include "device/sysfs_walk.hpp"
#include "device/windows_descriptors.hpp"
#include "report/device_json.hpp"
#include "report/finished_record.hpp"
#include "report/html_report.hpp"
#include "report/json_report.hpp"
#include "report/link_note_lines.hpp"
#include "support/file_system.hpp"
#include "support/mount.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace fs = std::filesystem;

namespace {

// Every fixture disk has a serial number in its tree: none may come out.
const std::string serial = "SERIAL-0042";

// One tree holding the machines' devices side by side, each under its own device number.
struct sysfs_tree {
    temporary_directory dir;
    fs::path root = dir.path_name;

    void file(const std::string& path, const std::string& text) const {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text << "\n";
    }
    void link(const std::string& path, const std::string& target) const {
        fs::create_directories((root / path).parent_path());
        fs::create_directory_symlink(target, root / path);
    }
    void disk(const std::string& block, const std::string& sectors, bool rotational,
              const std::string& scheduler) const {
        file(block + "/size", sectors);
        file(block + "/serial", serial);
        file(block + "/queue/rotational", rotational ? "1" : "0");
        file(block + "/queue/logical_block_size", "512");
        file(block + "/queue/physical_block_size", "4096");
        file(block + "/queue/scheduler", scheduler);
    }
    void partition(const std::string& block, const std::string& name, const std::string& number) const {
        file(block + "/" + name + "/partition", "1");
        link("sys/dev/block/" + number, "../../" + block.substr(4) + "/" + name);
    }
    // A SCSI disk behind libata on port `port`, negotiated at `speed`.
    std::string sata_disk(const std::string& port, const std::string& name, const std::string& model,
                          const std::string& speed) const {
        const std::string ata = "sys/devices/pci0000:00/0000:00:17.0/ata" + port;
        const std::string lun = ata + "/host" + port + "/target" + port + ":0:0/" + port + ":0:0:0";
        file(ata + "/link" + port + "/ata_link/link" + port + "/sata_spd", speed);
        file(lun + "/model", model);
        file(lun + "/vendor", "ATA     ");
        file(lun + "/rev", "SVT0");
        file(lun + "/queue_depth", "32");
        file(lun + "/serial", serial);
        disk(lun + "/block/" + name, "1953525168", false, "[mq-deadline] none");
        link(lun + "/block/" + name + "/device", "../../../" + port + ":0:0:0");
        return lun + "/block/" + name;
    }

    sysfs_tree() {
        // NVMe on a PCIe 4.0 x4 link, behind a bridge of another width.
        const std::string bridge = "sys/devices/pci0000:00/0000:00:01.1";
        file(bridge + "/current_link_speed", "8.0 GT/s PCIe");
        file(bridge + "/current_link_width", "16");
        file(bridge + "/0000:01:00.0/current_link_speed", "16.0 GT/s PCIe");
        file(bridge + "/0000:01:00.0/current_link_width", "4");
        const std::string controller = bridge + "/0000:01:00.0/nvme/nvme0";
        file(controller + "/model", "Samsung SSD 980 PRO 1TB                 ");
        file(controller + "/firmware_rev", "5B2QGXA7");
        file(controller + "/serial", serial);
        disk(controller + "/nvme0n1", "1953525168", false, "[none] mq-deadline");
        link(controller + "/nvme0n1/device", "../../nvme0");
        partition(controller + "/nvme0n1", "nvme0n1p2", "259:2");
        // The same drive with native multipath: the namespace in its subsystem, beside its controller.
        const std::string subsystem = "sys/devices/virtual/nvme-subsystem/nvme-subsys0";
        file(subsystem + "/model", "Samsung SSD 980 PRO 1TB");
        file(subsystem + "/firmware_rev", "5B2QGXA7");
        link(subsystem + "/nvme0", "../../../" + controller.substr(12));
        disk(subsystem + "/nvme1n1", "1953525168", false, "[none] mq-deadline");
        link("sys/dev/block/259:5", "../../devices/virtual/nvme-subsystem/nvme-subsys0/nvme1n1");

        partition(sata_disk("3", "sda", "Samsung SSD 870 EVO 1TB", "6.0 Gbps"), "sda1", "8:1");

        // A USB 2.0 stick: the port's speed is on the USB device, above its interface.
        const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1";
        file(usb + "/speed", "480");
        file(usb + "/1-2/speed", "480");
        const std::string stick = usb + "/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0";
        file(stick + "/model", "Cruzer Blade");
        file(stick + "/vendor", "SanDisk ");
        file(stick + "/rev", "1.00");
        disk(stick + "/block/sdb", "30031872", true, "[mq-deadline] none");
        link(stick + "/block/sdb/device", "../../../6:0:0:0");
        partition(stick + "/block/sdb", "sdb1", "8:17");

        // md RAID 1 of two SATA disks, one at 6 and one at 3 Gb/s.
        const std::string sdc = sata_disk("4", "sdc", "WDC WD40EFRX-68N32N0", "6.0 Gbps");
        const std::string sdd = sata_disk("5", "sdd", "WDC WD40EFRX-68N32N0", "3.0 Gbps");
        partition(sdc, "sdc1", "8:33");
        partition(sdd, "sdd1", "8:49");
        file("sys/devices/virtual/block/md0/md/level", "raid1");
        disk("sys/devices/virtual/block/md0", "7813771264", false, "none");
        link("sys/devices/virtual/block/md0/slaves/sdc1", "../../../../" + sdc.substr(12) + "/sdc1");
        link("sys/devices/virtual/block/md0/slaves/sdd1", "../../../../" + sdd.substr(12) + "/sdd1");
        link("sys/dev/block/9:0", "../../devices/virtual/block/md0");

        // A virtio disk: its device's vendor is a PCI number, not a maker.
        const std::string virtio = "sys/devices/pci0000:00/0000:00:02.0/virtio1";
        file(virtio + "/vendor", "0x1af4");
        disk(virtio + "/block/vda", "536870912", true, "none [mq-deadline] kyber");
        link(virtio + "/block/vda/device", "../../../virtio1");
        link("sys/dev/block/254:0", "../../devices/pci0000:00/0000:00:02.0/virtio1/block/vda");

        // A loop device over a file on the SATA SSD's ext4.
        disk("sys/devices/virtual/block/loop0", "2097152", false, "none");
        file("sys/devices/virtual/block/loop0/loop/backing_file", "/srv/images/disk.img");
        link("sys/dev/block/7:0", "../../devices/virtual/block/loop0");
        // Another over a file on a tmpfs, which has no device.
        disk("sys/devices/virtual/block/loop1", "65536", false, "none");
        file("sys/devices/virtual/block/loop1/loop/backing_file", "/dev/shm/ram.img");
        link("sys/dev/block/7:1", "../../devices/virtual/block/loop1");

        // An NFS share reached through eth0 at 1 Gb/s; the default route goes through wlan0.
        file("proc/self/mountinfo",
             "27 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
             "40 27 0:30 / /dev/shm rw,nosuid,nodev - tmpfs tmpfs rw\n"
             "50 27 0:52 / /mnt/nas rw,relatime shared:1 - nfs4 nas.local:/export/data "
             "rw,vers=4.2,rsize=1048576,wsize=524288,hard,proto=tcp,clientaddr=192.168.1.20,addr=192.168.1.10");
        file("proc/net/route",
             "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
             "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
             "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0");
        file("sys/class/net/eth0/speed", "1000");
        file("sys/class/net/wlan0/speed", "-1");
    }

    target_identity walk(unsigned major, unsigned minor, const file_device_finder& finder = nullptr) const {
        return walk_storage(root.string(), device_number{major, minor}, finder);
    }
};

std::string text_of(const std::optional<std::string>& value) { return value.value_or("(null)"); }

storage_device one_device(const std::string& link, double ceiling) {
    storage_device device;
    device.link = link;
    device.link_ceiling_mb_per_second = ceiling;
    return device;
}

}  // namespace

TEST(DeviceIdentity, TheSysfsWalkFindsEachMachinesDiskItsLinkAndNoSerial) {
    const sysfs_tree tree;

    const target_identity nvme = tree.walk(259, 2);
    ASSERT_EQ(nvme.devices.size(), 1u);
    const storage_device& ssd = nvme.devices[0];
    EXPECT_EQ(ssd.name, "nvme0n1");
    EXPECT_EQ(text_of(ssd.model), "Samsung SSD 980 PRO 1TB");
    EXPECT_EQ(text_of(ssd.firmware), "5B2QGXA7");
    EXPECT_FALSE(ssd.vendor);
    EXPECT_EQ(ssd.size_bytes, 1953525168ull * 512);
    EXPECT_EQ(ssd.rotational, false);
    EXPECT_EQ(ssd.physical_sector_bytes, 4096u);
    EXPECT_EQ(text_of(ssd.scheduler), "none");
    EXPECT_EQ(ssd.transport, "nvme");
    EXPECT_EQ(text_of(ssd.link), "PCIe 4.0 x4");
    EXPECT_NEAR(ssd.link_ceiling_mb_per_second.value_or(0), 7876.8, 0.1);
    const target_identity multipath = tree.walk(259, 5);
    ASSERT_EQ(multipath.devices.size(), 1u);
    EXPECT_EQ(text_of(multipath.devices[0].model) + " " + text_of(multipath.devices[0].link),
              "Samsung SSD 980 PRO 1TB PCIe 4.0 x4");

    const target_identity sata = tree.walk(8, 1);
    ASSERT_EQ(sata.devices.size(), 1u);
    EXPECT_EQ(sata.devices[0].name, "sda");
    EXPECT_EQ(sata.devices[0].transport, "sata");
    EXPECT_EQ(text_of(sata.devices[0].model), "Samsung SSD 870 EVO 1TB");
    EXPECT_FALSE(sata.devices[0].vendor) << "libata's \"ATA\" names no maker";
    EXPECT_EQ(text_of(sata.devices[0].firmware), "SVT0");
    EXPECT_EQ(sata.devices[0].queue_depth, 32u);
    EXPECT_EQ(text_of(sata.devices[0].link), "SATA 6.0 Gb/s");
    EXPECT_EQ(sata.devices[0].link_ceiling_mb_per_second, 600);

    const target_identity usb = tree.walk(8, 17);
    ASSERT_EQ(usb.devices.size(), 1u);
    EXPECT_EQ(usb.devices[0].transport, "usb");
    EXPECT_EQ(text_of(usb.devices[0].vendor), "SanDisk");
    EXPECT_EQ(text_of(usb.devices[0].model), "Cruzer Blade");
    EXPECT_EQ(text_of(usb.devices[0].link), "USB 2.0");
    EXPECT_NEAR(usb.devices[0].link_ceiling_mb_per_second.value_or(0), 53.2, 0.1);

    const target_identity raid = tree.walk(9, 0);
    ASSERT_EQ(raid.layers.size(), 1u);
    EXPECT_EQ(raid.layers[0].name, "md0");
    EXPECT_EQ(raid.layers[0].kind, "md");
    EXPECT_EQ(text_of(raid.layers[0].level), "raid1");
    ASSERT_EQ(raid.devices.size(), 2u);
    EXPECT_EQ(raid.devices[0].name + " " + text_of(raid.devices[0].link), "sdc SATA 6.0 Gb/s");
    EXPECT_EQ(raid.devices[1].name + " " + text_of(raid.devices[1].link), "sdd SATA 3.0 Gb/s");
    EXPECT_EQ(target_ceiling_mb_per_second(raid), 900);

    const target_identity virtio = tree.walk(254, 0);
    ASSERT_EQ(virtio.devices.size(), 1u);
    EXPECT_EQ(virtio.devices[0].transport, "virtio");
    EXPECT_FALSE(virtio.devices[0].vendor) << "a PCI vendor number is no maker's name";
    EXPECT_FALSE(virtio.devices[0].link);
    EXPECT_EQ(virtio.devices[0].rotational, true);
    EXPECT_EQ(text_of(virtio.devices[0].scheduler), "mq-deadline");
    EXPECT_FALSE(target_ceiling_mb_per_second(virtio));

    // Nothing in any of them holds the serial numbers the trees carry.
    run_record run;
    for (const target_identity* target : {&nvme, &sata, &usb, &raid, &virtio})
        for (const storage_device& device : target->devices) run.measured.target.devices.push_back(device);
    run.measured.gathered = run.measured.target.known = true;
    nlohmann::ordered_json document{{"host", nlohmann::ordered_json::object()},
                                    {"target", nlohmann::ordered_json::object()},
                                    {"passes", nlohmann::ordered_json::array()}};
    add_measured_on(document, run);
    EXPECT_EQ(document.dump().find(serial), std::string::npos);
    EXPECT_EQ(document["target"]["devices"].size(), 6u);
    EXPECT_TRUE(document["target"]["devices"][5]["model"].is_null());
}

TEST(DeviceIdentity, ALoopDeviceLeadsToTheDiskUnderItsFileOrToMemoryOrNamesItsFileAlone) {
    const sysfs_tree tree;
    std::map<std::string, device_number> files{{"/srv/images/disk.img", device_number{8, 1}},
                                               {"/dev/shm/ram.img", device_number{0, 30}}};
    const file_device_finder finder = [&files](const std::string& file, device_number& number) {
        if (!files.count(file)) return false;
        number = files[file];
        return true;
    };
    const target_identity placed = tree.walk(7, 0, finder);
    ASSERT_EQ(placed.layers.size(), 1u);
    EXPECT_EQ(placed.layers[0].kind, "loop");
    EXPECT_EQ(text_of(placed.layers[0].backing_file), "/srv/images/disk.img");
    ASSERT_EQ(placed.devices.size(), 1u);
    EXPECT_EQ(placed.devices[0].name, "sda");

    EXPECT_TRUE(placed.memory_file_system.empty());

    // A file on a tmpfs: no device under it, and the loop device is memory.
    const target_identity in_memory = tree.walk(7, 1, finder);
    EXPECT_TRUE(in_memory.known);
    EXPECT_TRUE(in_memory.devices.empty());
    ASSERT_EQ(in_memory.layers.size(), 1u);
    EXPECT_EQ(in_memory.layers[0].name, "loop1");
    EXPECT_EQ(text_of(in_memory.layers[0].backing_file), "/dev/shm/ram.img");
    EXPECT_EQ(in_memory.memory_file_system, "tmpfs");

    const target_identity alone = tree.walk(7, 0);
    EXPECT_TRUE(alone.layers.empty());
    ASSERT_EQ(alone.devices.size(), 1u);
    EXPECT_EQ(alone.devices[0].transport, "loop");
    EXPECT_EQ(text_of(alone.devices[0].backing_file), "/srv/images/disk.img");
    EXPECT_FALSE(target_ceiling_mb_per_second(alone));
}

TEST(DeviceIdentity, ANetworkShareIsItsServerReachedThroughTheRoutesInterface) {
    const sysfs_tree tree;
    const target_identity share = tree.walk(0, 52);
    ASSERT_EQ(share.devices.size(), 1u);
    const storage_device& server = share.devices[0];
    EXPECT_EQ(server.transport, "network");
    EXPECT_EQ(text_of(server.server), "nas.local");
    EXPECT_EQ(text_of(server.protocol), "nfs");
    EXPECT_EQ(text_of(server.protocol_version), "4.2");
    EXPECT_EQ(server.read_size, 1048576u);
    EXPECT_EQ(server.write_size, 524288u);
    EXPECT_EQ(text_of(server.link), "1 Gb/s network (eth0)");
    EXPECT_EQ(server.link_ceiling_mb_per_second, 125);
    // A device number the tree knows nothing of is unknown, not known to have no device.
    EXPECT_TRUE(tree.walk(0, 99).devices.empty());
    EXPECT_FALSE(tree.walk(0, 99).known);
}

TEST(DeviceIdentity, ThisMachinesDisksResolveOrStayUnknown) {
    const measured_on disk = identify_measured_on("/var/tmp", identity_limit_ms);
    ASSERT_TRUE(disk.gathered);
    for (const storage_device& device : disk.target.devices) {
        EXPECT_FALSE(device.name.empty());
        EXPECT_NE(device.transport, "");
        EXPECT_TRUE(!device.link_ceiling_mb_per_second || *device.link_ceiling_mb_per_second > 0);
    }
    if (on_memory_file_system("/dev/shm")) {
        const measured_on memory = identify_measured_on("/dev/shm", identity_limit_ms);
        ASSERT_TRUE(memory.gathered);
        EXPECT_TRUE(memory.target.known);
        EXPECT_TRUE(memory.target.devices.empty());
        EXPECT_TRUE(memory.target.layers.empty());
    }
    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << "no disk-backed directory for a loop device's file";
    const temporary_directory dir(parent);
    fs::create_directory(dir.path_name + "/point");
    const loop_mount loop(dir.path_name + "/image", dir.path_name + "/point", 512);
    if (!loop.mounted) GTEST_SKIP() << loop.reason;
    const measured_on on_loop = identify_measured_on(loop.point, identity_limit_ms);
    ASSERT_TRUE(on_loop.gathered);
    ASSERT_FALSE(on_loop.target.layers.empty());
    EXPECT_EQ("/dev/" + on_loop.target.layers[0].name, loop.device);
    EXPECT_EQ(text_of(on_loop.target.layers[0].backing_file), dir.path_name + "/image");
    // Under the file: the disk the file's directory is on.
    const measured_on under = identify_measured_on(dir.path_name, identity_limit_ms);
    ASSERT_EQ(on_loop.target.devices.size(), under.target.devices.size());
    for (std::size_t index = 0; index < under.target.devices.size(); ++index)
        EXPECT_EQ(on_loop.target.devices[index].name, under.target.devices[index].name);
}

namespace {

// The bindfs daemon this test started for `point`, found by its command line.
pid_t daemon_serving(const std::string& point) {
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline");
        const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (line.rfind("bindfs", 0) == 0 && line.find(point) != std::string::npos)
            return static_cast<pid_t>(std::stol(entry.path().filename().string()));
    }
    return 0;
}

}  // namespace

// A FUSE daemon held still blocks every call on its files, as a hung network mount does.
TEST(DeviceIdentity, AHungMountCostsTheTimeLimitAndLeavesEverythingUnknown) {
    const temporary_directory dir;
    fs::create_directories(dir.path_name + "/source/never_looked_up");
    fs::create_directory(dir.path_name + "/point");
    const fuse_mount fuse(dir.path_name + "/source", dir.path_name + "/point");
    if (!fuse.mounted) GTEST_SKIP() << fuse.reason;
    const pid_t daemon = daemon_serving(fuse.point);
    ASSERT_GT(daemon, 0);
    ASSERT_EQ(kill(daemon, SIGSTOP), 0);
    const auto start = std::chrono::steady_clock::now();
    const measured_on on = identify_measured_on(fuse.point + "/never_looked_up", 300);
    const auto waited = std::chrono::steady_clock::now() - start;
    kill(daemon, SIGCONT);
    EXPECT_FALSE(on.gathered);
    EXPECT_FALSE(on.machine.cpu_model) << "nothing of a gathering cut short is kept";
    EXPECT_LT(waited, std::chrono::seconds(10));
}

TEST(LinkCeilings, AFigureJustAboveEachCeilingIsNotedAndOneJustBelowIsNot) {
    const link_rate links[] = {usb_link(480),
                               usb_link(5000),
                               usb_link(10000),
                               sata_link(1.5),
                               sata_link(3.0),
                               sata_link(6.0),
                               sas_link(12),
                               sas_link(22.5),
                               pcie_link(8, 4),
                               pcie_link(16, 4),
                               pcie_link(32, 2),
                               network_link(1000, "eth0"),
                               network_link(25000, "ens1")};
    for (const link_rate& link : links) {
        ASSERT_TRUE(link.name && link.ceiling_mb_per_second);
        target_identity target;
        target.devices.push_back(one_device(*link.name, *link.ceiling_mb_per_second));
        const double ceiling = *link.ceiling_mb_per_second;
        EXPECT_FALSE(beyond_link_note(target, ceiling * 0.99, true)) << *link.name;
        EXPECT_FALSE(beyond_link_note(target, ceiling, false)) << *link.name;
        const auto note = beyond_link_note(target, ceiling * 1.01, true);
        ASSERT_TRUE(note) << *link.name;
        EXPECT_EQ(note->kind, "beyond_link");
        EXPECT_EQ(note->link, link.name);
        EXPECT_NE(note->text.find("faster than the " + *link.name + " link allows"), std::string::npos) << note->text;
    }
    // Speeds no table row holds, and a link of no lanes, give no ceiling: no note is guessed.
    EXPECT_FALSE(usb_link(7).ceiling_mb_per_second);
    EXPECT_FALSE(pcie_link(16, 0).ceiling_mb_per_second);
    EXPECT_FALSE(sata_link(4.5).ceiling_mb_per_second);
    EXPECT_FALSE(network_link(0, "eth0").ceiling_mb_per_second);
}

TEST(LinkCeilings, TheNotesSayWhatTheConsolePrintsAndSeveralDevicesCarryTogether) {
    target_identity usb;
    usb.devices.push_back(one_device("USB 3.0", 500));
    EXPECT_EQ(beyond_link_note(usb, 6587.4, true)->text,
              "Note: 6,587 MB/s is faster than the USB 3.0 link allows (about 500 MB/s): a cache outside the OS "
              "served this data.");
    EXPECT_EQ(beyond_link_note(usb, 612, false)->text,
              "Note: 612 MB/s is faster than the USB 3.0 link allows (about 500 MB/s): a cache outside the OS "
              "took this data.");

    target_identity mirror;
    mirror.devices = {one_device("SATA 6.0 Gb/s", 600), one_device("SATA 6.0 Gb/s", 600)};
    EXPECT_FALSE(beyond_link_note(mirror, 1100, true));
    EXPECT_EQ(beyond_link_note(mirror, 1300, true)->text,
              "Note: 1,300 MB/s is faster than the links of its 2 devices allow together (about 1,200 MB/s): a cache "
              "outside the OS served this data.");
    mirror.devices.push_back(storage_device{});
    EXPECT_FALSE(beyond_link_note(mirror, 1e6, true)) << "one link unknown: no ceiling";
}

TEST(LinkCeilings, TheResultsFileAndThePageKeepTheNotesOfEachPass) {
    run_record run;
    run.measured.gathered = run.measured.target.known = true;
    storage_device stick;
    stick.name = "sdb";
    stick.model = "Cruzer Blade";
    stick.transport = "usb";
    const link_rate usb2 = usb_link(480);
    stick.link = usb2.name;
    stick.link_ceiling_mb_per_second = usb2.ceiling_mb_per_second;
    run.measured.target.devices.push_back(stick);
    pass_record pass;
    for (figure_record& figure : pass.figures) {
        figure.measured = true;
        figure.bytes = 500000000;
        figure.elapsed_us = 1000000;
    }
    pass.figures[static_cast<int>(figure_kind::write_forced)].bytes = 40000000;
    run.passes = {pass, pass};
    // The second pass's files were still cached after its purge: its read is the OS cache's.
    run.passes[1].cached_after_purge_known = true;
    run.passes[1].cached_after_purge = 0.5;
    const run_record finished = finished_record(default_settings(), run, 0, "");
    const nlohmann::ordered_json document = results_document(finished);
    const auto& first = document["passes"][0]["figures"];
    EXPECT_FALSE(first[0].contains("link_note"));
    EXPECT_TRUE(first[1]["link_note"].is_null()) << "40 MB/s crosses USB 2.0";
    EXPECT_EQ(first[3]["link_note"]["kind"], "beyond_link");
    EXPECT_EQ(first[3]["link_note"]["link"], "USB 2.0");
    EXPECT_EQ(
        first[3]["link_note"]["text"],
        "500 MB/s is faster than the USB 2.0 link allows (about 53 MB/s): a cache outside the OS served this data.");
    EXPECT_TRUE(document["passes"][1]["figures"][3]["link_note"].is_null());
    EXPECT_EQ(document["target"]["devices"][0]["link"], "USB 2.0");
    const std::string page = html_page(finished);
    EXPECT_NE(page.find("<li class=\"warning\">Pass 1: 500 MB/s is faster than the USB 2.0 link allows"),
              std::string::npos);
    EXPECT_EQ(page.find("Pass 2: 500 MB/s is faster"), std::string::npos);
    EXPECT_NE(page.find("<div class=\"drive\">Cruzer Blade · USB 2.0</div>"), std::string::npos);
}

// In a virtual machine with a virtual disk, an uncached read that comes near the cached read is
// the evidence of the host's cache a guest can have; a device that reads several times faster
// than it writes (the throttled loop of the notes' test: forced write 21, uncached read 84,
// cached read 3,000 MB/s) is not.
TEST(LinkCeilings, AVirtualDisksUncachedReadNearItsCachedReadSuggestsTheHostsCache) {
    measured_on on;
    on.machine.virtual_machine = true;
    on.machine.hypervisor = "KVM";
    storage_device vda;
    vda.transport = "virtio";
    on.target.devices.push_back(vda);
    const std::int64_t second = 1000000;
    const auto note = host_cache_note(on, 4000, 2100, 2 * second, false);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->text,
              "Note: the read without cache, 2,100 MB/s, is more than half the read with cache, 4,000 MB/s, in this "
              "virtual machine (KVM): the host may have served the reads from its own cache, out of reach of any "
              "purge here.");
    EXPECT_FALSE(host_cache_note(on, 4000, 2000, 2 * second, false));
    EXPECT_FALSE(host_cache_note(on, 3000, 84, 2 * second, false)) << "a device that reads 4 times its write";
    EXPECT_FALSE(host_cache_note(on, 4000, 2100, second / 2, false)) << "a phase under a second says little";
    EXPECT_FALSE(host_cache_note(on, 300, 300, 2 * second, true)) << "both reads bypassed the OS cache";
    on.target.devices[0].link_ceiling_mb_per_second = 600;
    EXPECT_FALSE(host_cache_note(on, 4000, 2100, 2 * second, false)) << "a known link is the other note's case";
    on.target.devices[0].link_ceiling_mb_per_second.reset();

    // The console says it once a run, after the first pass where it holds.
    run_record run;
    run.measured = on;
    pass_record pass;
    for (figure_record& figure : pass.figures) {
        figure.measured = true;
        figure.bytes = 2000000000;
        figure.elapsed_us = 2 * second;
    }
    pass.figures[static_cast<int>(figure_kind::write_forced)].bytes = 20000000;
    run.passes = {pass, pass, pass};
    run.passes[0].figures[static_cast<int>(figure_kind::read_uncached)].bytes = 500000000;
    testing::internal::CaptureStdout();
    for (const pass_record& each : run.passes)
        for (int kind = 0; kind < figure_count; ++kind) print_link_note(run, each, static_cast<figure_kind>(kind), false);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed,
              "Note: the read without cache, 1,000 MB/s, is more than half the read with cache, 1,000 MB/s, in this "
              "virtual machine (KVM): the host may have served the reads from its own cache, out of reach of any "
              "purge here.\n");

    on.machine.virtual_machine = false;
    EXPECT_FALSE(host_cache_note(on, 4000, 2100, 2 * second, false));
}

namespace {

// Little-endian bytes as Windows lays its structures out.
void put_dword(std::vector<unsigned char>& bytes, std::size_t offset, std::uint32_t value) {
    if (bytes.size() < offset + 4) bytes.resize(offset + 4);
    for (int index = 0; index < 4; ++index) bytes[offset + index] = static_cast<unsigned char>(value >> (8 * index));
}

std::size_t put_text(std::vector<unsigned char>& bytes, const std::string& text) {
    const std::size_t offset = bytes.size();
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    return offset;
}

// STORAGE_DEVICE_DESCRIPTOR with its strings after the fixed part, as the query returns it.
std::vector<unsigned char> device_descriptor(std::uint32_t bus) {
    std::vector<unsigned char> bytes(40, 0);
    put_dword(bytes, 0, 40);
    put_dword(bytes, 12, static_cast<std::uint32_t>(put_text(bytes, "Samsung")));
    put_dword(bytes, 16, static_cast<std::uint32_t>(put_text(bytes, "SSD 980 PRO 1TB     ")));
    put_dword(bytes, 20, static_cast<std::uint32_t>(put_text(bytes, "5B2QGXA7")));
    put_dword(bytes, 24, static_cast<std::uint32_t>(put_text(bytes, serial)));
    put_dword(bytes, 28, bus);
    put_dword(bytes, 4, static_cast<std::uint32_t>(bytes.size()));
    return bytes;
}

}  // namespace

TEST(WindowsDescriptors, TheQueriesBytesGiveTheDiskAndShortOnesGiveNothing) {
    disk_answers answers;
    answers.disk_number = 1;
    answers.device_descriptor = device_descriptor(17);
    put_dword(answers.access_alignment, 0, 1);
    put_dword(answers.access_alignment, 4, 28);
    put_dword(answers.access_alignment, 16, 512);
    put_dword(answers.access_alignment, 20, 4096);
    put_dword(answers.access_alignment, 24, 0);
    answers.seek_penalty = {1, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0};
    answers.geometry.assign(48, 0);
    put_dword(answers.geometry, 24, 0x4C6E0000);
    put_dword(answers.geometry, 28, 0xE8);
    const storage_device disk = parse_disk_answers(answers);
    EXPECT_EQ(disk.name, "PhysicalDrive1");
    EXPECT_EQ(text_of(disk.vendor), "Samsung");
    EXPECT_EQ(text_of(disk.model), "SSD 980 PRO 1TB");
    EXPECT_EQ(text_of(disk.firmware), "5B2QGXA7");
    EXPECT_EQ(disk.transport, "nvme");
    EXPECT_EQ(disk.logical_sector_bytes, 512u);
    EXPECT_EQ(disk.physical_sector_bytes, 4096u);
    EXPECT_EQ(disk.rotational, false);
    EXPECT_EQ(disk.size_bytes, 0xE84C6E0000ull);

    // Strings past the descriptor's own Size, or running off the answer, are not read.
    disk_answers cut;
    cut.device_descriptor = device_descriptor(7);
    put_dword(cut.device_descriptor, 4, 40);
    EXPECT_FALSE(parse_disk_answers(cut).model);
    EXPECT_EQ(parse_disk_answers(cut).transport, "usb");
    cut.device_descriptor = device_descriptor(11);
    cut.device_descriptor.pop_back();
    const storage_device open_ended = parse_disk_answers(cut);
    EXPECT_EQ(text_of(open_ended.vendor), "Samsung");
    EXPECT_EQ(open_ended.transport, "sata");
    // Wine, or a call that failed: nothing at all.
    const storage_device empty = parse_disk_answers(disk_answers{});
    EXPECT_FALSE(empty.model || empty.vendor || empty.size_bytes || empty.rotational || empty.logical_sector_bytes);
    EXPECT_EQ(empty.transport, "unknown");

    volume_answers share;
    share.network = true;
    share.network_path = "\\\\nas\\data";
    EXPECT_FALSE(parse_volume_answers(volume_answers{}).known);
    const target_identity network = parse_volume_answers(share);
    ASSERT_EQ(network.devices.size(), 1u);
    EXPECT_EQ(text_of(network.devices[0].server), "nas");
    volume_answers spanned;
    spanned.disks = {answers, answers};
    spanned.disks[1].disk_number = 2;
    const target_identity both = parse_volume_answers(spanned);
    EXPECT_EQ(both.devices.size(), 2u);
    EXPECT_EQ(both.layers.size(), 1u);
}

TEST(DeviceIdentity, ARunsResultsFileAndPageNameTheDiskAndTheMachine) {
    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << "no disk-backed directory here";
    const temporary_directory dir(parent), reports;
    const execution_result r = quorlane({"-path", dir.path_name, "-file", "2", "-cache", "0", "-json",
                                         reports.path_name + "/run.json", "-html", reports.path_name + "/run.html"});
    ASSERT_EQ(r.status, 0) << r.output;
    const auto results = nlohmann::json::parse(std::ifstream(reports.path_name + "/run.json"));
    const measured_on expected = identify_measured_on(dir.path_name, identity_limit_ms);
    const auto& devices = results["target"]["devices"];
    ASSERT_TRUE(devices.is_array());
    ASSERT_EQ(devices.size(), expected.target.devices.size());
    for (std::size_t index = 0; index < devices.size(); ++index)
        EXPECT_EQ(devices[index]["name"], expected.target.devices[index].name);
    EXPECT_TRUE(results["host"]["virtualization"].contains("hypervisor"));
    for (const auto& figure : results["passes"][0]["figures"])
        EXPECT_EQ(figure.contains("link_note"),
                  figure["name"] == "write_without_cache" || figure["name"] == "read_without_cache");
    std::ifstream page_stream(reports.path_name + "/run.html");
    const std::string page((std::istreambuf_iterator<char>(page_stream)), std::istreambuf_iterator<char>());
    EXPECT_NE(page.find("<div class=\"name\">Measured on</div>"), std::string::npos);
    if (!expected.target.devices.empty()) {
        const storage_device& first = expected.target.devices[0];
        EXPECT_NE(page.find(first.model.value_or(first.name)), std::string::npos);
    }
}
