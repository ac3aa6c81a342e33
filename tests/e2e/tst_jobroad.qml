// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtTest 1.2
import Qt3D.Core 2.12
import Qt3D.Render 2.12
import Qt3D.Extras 2.12
import com.corvane.desktop 1.0

TestCase {
    id: testCase
    name: "JobRoad"

    Netlib { id: netlib }
    Facetlab { id: facetlab }

    // A 20 x 20 x 10 mm block resting on the plate, centred on it.
    Entity {
        id: sceneRoot
        Entity {
            id: block
            components: [
                CuboidMesh { xExtent: 20; yExtent: 20; zExtent: 10 },
                Transform { translation: Qt.vector3d(0, 0, 5) }
            ]
        }
    }

    SignalSpy { id: discovered; target: netlib; signalName: "discoveryResultChanged" }
    SignalSpy { id: profilesFetched; target: netlib; signalName: "fetchingResultChanged" }
    SignalSpy { id: layers; target: netlib; signalName: "layerIDChanged" }
    SignalSpy { id: saved; target: netlib; signalName: "sliceDownloadResult" }

    function discoverPrinters() {
        // The agent was started with the Netlib and may still be coming up.
        for (var attempt = 0; attempt < 50; ++attempt) {
            discovered.clear();
            netlib.agentDiscover();
            discovered.wait(10000);
            var printers = discovered.signalArguments[0][0];
            if (printers.length > 0 && printers[0].name !== "Not Discovered")
                return printers;
            wait(200);
        }
        fail("the agent never answered the discovery");
    }

    function test_wholeJob() {
        var printers = discoverPrinters();
        verify(printers.length >= 4, "built-in printers listed");
        var printer = printers[0];
        compare(typeof printer.ip, "string");
        compare(typeof printer.port, "string");
        verify(printer.profiles_array.length > 0);

        netlib.fetchProfiles(printer.ip, printer.port);
        profilesFetched.wait(10000);
        var profiles = profilesFetched.signalArguments[0][0];
        compare(profiles.length, printer.profiles_array.length);
        var profile = profiles[0];
        compare(profile.Title, printer.profiles_array[0].Title);
        verify(JSON.parse(netlib.fetchedProfiles).length === profiles.length);

        verify(facetlab.exportStl(files.folder, "block", [block]));
        verify(files.exists("block.stl"));
        compare(files.size("block.stl"), 84 + 50 * 12);

        verify(netlib.agentSlice(files.folder, "block.stl", printer.ip, printer.port,
                                 String(profile.ProfileID), "road test"));
        compare(netlib.slicingInProgress, true);
        tryCompare(netlib, "slicingInProgress", false, 120000);
        compare(netlib.slicingDone, true, "the job ended as finished");
        verify(layers.count > 1, "progress was published");
        compare(netlib.layerID, "");
        // 10 mm in layers of the profile's height (micrometres).
        compare(Number(netlib.layerCount), Math.round(10000 / profile.Depth));
        verify(netlib.pathOfLayerImages.length > 0);

        netlib.sliceDownloadFileUrl = files.folder + "/block.sl1";
        verify(netlib.agentSliceDownload(netlib.pathOfLayerImages));
        saved.wait(60000);
        compare(saved.signalArguments[0][0], true, saved.signalArguments[0][1]);
        compare(netlib.sliceDownloadInProgress, false);

        var entries = files.zipEntries("block.sl1");
        verify(entries.indexOf("config.ini") >= 0, entries);
        verify(entries.indexOf("prusaslicer.ini") >= 0, entries);
        verify(entries.indexOf("plate.json") >= 0, entries);
        verify(entries.indexOf("thumbnail/thumbnail400x400.png") >= 0, entries);
        verify(entries.indexOf("thumbnail/thumbnail800x480.png") >= 0, entries);
        var images = entries.filter(function (name) { return /^[^/]*[0-9]{5}\.png$/.test(name); });
        compare(images.length, Number(netlib.layerCount));
    }
}
