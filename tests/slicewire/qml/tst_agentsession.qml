// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtTest 1.2
import com.corvane.desktop 1.0

TestCase {
    id: testCase
    name: "AgentSession"

    Component {
        id: netlibComponent
        Netlib {}
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    function spy(target, signalName) {
        return createTemporaryObject(spyComponent, testCase, { target: target, signalName: signalName })
    }

    function test_session() {
        verify(session.agentListening)
        session.clearRequests()
        var netlib = createTemporaryObject(netlibComponent, testCase)
        verify(netlib)

        // Discovery: the agent's printer list.
        var discovered = spy(netlib, "discoveryResultChanged")
        netlib.agentDiscover()
        verify(netlib.discoveryInProgress)
        discovered.wait(5000)
        var printers = discovered.signalArguments[0][0]
        compare(printers.length, 1)
        var printer = printers[0]
        compare(printer.name, "Resin One")
        compare(printer.profiles_array[0].ProfileID, 3)
        tryCompare(netlib, "discoveryInProgress", false)

        // Profiles of the chosen printer, as text and as an array.
        var fetched = spy(netlib, "fetchingResultChanged")
        netlib.fetchProfiles(printer.ip, printer.port)
        fetched.wait(5000)
        var profiles = fetched.signalArguments[0][0]
        compare(profiles.length, 2)
        compare(profiles[1].Title, "Draft")
        compare(netlib.fetchedProfiles,
                "[{\"Title\":\"Fine\",\"ProfileID\":3},{\"Title\":\"Draft\",\"ProfileID\":4}]")

        // Slicing, followed through the polls to its end.
        var layerIds = spy(netlib, "layerIDChanged")
        var done = spy(netlib, "slicingDoneChanged")
        verify(netlib.agentSlice(session.stlFolder, "part.stl", printer.ip, printer.port,
                                 String(profiles[0].ProfileID), "plate one"))
        verify(netlib.slicingInProgress)
        tryCompare(netlib, "pathOfLayerImages", session.layersFolder, 5000)
        done.wait(10000)
        compare(done.signalArguments[0][0], true)
        verify(netlib.slicingDone)
        verify(!netlib.slicingInProgress)
        compare(netlib.layerID, "")
        compare(netlib.layerCount, "2")
        compare(layerIds.count, 3)
        compare(layerIds.signalArguments[0][0], "1")
        compare(layerIds.signalArguments[1][0], "2")
        compare(layerIds.signalArguments[2][0], "")
        compare(session.lastRequest("/slice/preview"),
                "POST\napplication/x-www-form-urlencoded; charset=utf-8\n"
                + "stl=" + session.stlFolderPath + "/part.stl&printer=10.0.0.7:80&profile=3&name=plate%20one")

        // Download: the agent's job file lands where the user chose.
        var saved = spy(netlib, "sliceDownloadResult")
        netlib.sliceDownloadFileUrl = session.jobDestination
        verify(netlib.agentSliceDownload(netlib.pathOfLayerImages))
        verify(netlib.sliceDownloadInProgress)
        saved.wait(5000)
        compare(saved.signalArguments[0][0], true)
        compare(saved.signalArguments[0][1], "")
        verify(!netlib.sliceDownloadInProgress)
        compare(session.fileText(session.jobDestinationPath), "sliced job")
        verify(!session.fileExists(session.jobSourcePath))
        compare(session.lastRequest("/slice/download"),
                "POST\napplication/x-www-form-urlencoded; charset=utf-8\npath=" + session.layersFolder)

        compare(session.requestPaths(), ["/printer-details", "/printer-profiles/10.0.0.7:80",
                                         "/slice/preview", "/slice", "/slice", "/slice/download"])
    }

    function test_multiItemSliceTakesArrays() {
        var netlib = createTemporaryObject(netlibComponent, testCase)
        compare(netlib.mutliItemSlice(session.stlFolder, ["a.stl"], "h", "1", ["3", "5"], "two"), false)
        verify(!netlib.slicingInProgress)

        var path = spy(netlib, "pathOfLayerImagesChanged")
        verify(netlib.mutliItemSlice(session.stlFolder, ["a.stl", "b c.stl"], "h", "1", ["3", "5"], "two"))
        verify(netlib.slicingInProgress)
        path.wait(5000)
        netlib.slicingInProgress = false
        compare(session.lastRequest("/advanced-slice"),
                "POST\napplication/x-www-form-urlencoded; charset=utf-8\n"
                + "count=2&printer=h:1&name=two&stls_1=" + session.stlFolderPath + "/a.stl&profiles_1=3"
                + "&stls_2=" + session.stlFolderPath + "/b%20c.stl&profiles_2=5")
    }
}
