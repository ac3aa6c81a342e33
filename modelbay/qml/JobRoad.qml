// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQml 2.12
import Qt.labs.platform 1.1 as Platform

// The road of one job: export the plate into a working folder, have the agent
// slice it, then send the job to the printer or save it as a file. Holds no
// scene data: the plate model and the two QML types do the work.
QtObject {
    id: road

    property var plate
    property var plateScene
    property var netlib
    property var facetlab
    property var printer
    property var profile

    // "idle", "exporting", "slicing", "sliced" or "failed".
    property string phase: "idle"
    property string message
    property string jobName
    property int layerCount: 0
    property bool delivering: false

    readonly property bool busy: phase === "exporting" || phase === "slicing" || delivering
    readonly property bool sliced: phase === "sliced"
    readonly property int currentLayer: Number(netlib.layerID) || 0

    // Working files live in the temporary folder under a name of this window
    // alone, so two windows never overwrite each other's plate.
    readonly property url workFolder: Platform.StandardPaths.writableLocation(Platform.StandardPaths.TempLocation)
    readonly property string workName: "corvane-plate-" + Math.random().toString(36).slice(2, 10)

    // The agent names the layer images after the job; a job name of plain
    // letters, digits, "-" and "_" (at most 40) is used by it unchanged.
    function plainName(text) {
        let name = String(text).replace(/\.[^.]*$/, "").replace(/[^A-Za-z0-9_-]/g, "_").slice(0, 40);
        return /[^_]/.test(name) ? name : "plate";
    }

    function layerImage(layer) {
        const digits = ("00000" + layer).slice(-5);
        const path = netlib.pathOfLayerImages + "/" + jobName + digits + ".png";
        return "file://" + path.split("/").map(encodeURIComponent).join("/");
    }

    function slice() {
        if (busy)
            return;
        const refusal = plate.sliceRefusal() || (plateScene ? plateScene.supportsRefusal() : "");
        if (refusal.length > 0) {
            phase = "failed";
            message = refusal;
            return;
        }
        if (!printer || !profile) {
            phase = "failed";
            message = qsTr("Choose a printer and a profile before slicing.");
            return;
        }
        jobName = plainName(objectNames.objectAt(0) ? objectNames.objectAt(0).name : "plate");
        facetlab.exportCanceled = false;
        phase = "exporting";
        message = qsTr("Writing the plate for the slicer…");
        const names = [];
        let written = true;
        // The export appends ".stl" to the name; the slicing calls take the
        // file name as it stands on disk.
        if (IS_MULTI_ITEM_SLICING_ENABLED) {
            for (let row = 0; row < plate.count && written && !facetlab.exportCanceled; ++row) {
                const name = workName + "-" + (row + 1);
                written = facetlab.exportStl(workFolder, name, plateScene.exportEntity(row));
                names.push(name + ".stl");
            }
        } else {
            written = facetlab.exportStl(workFolder, workName, plateScene.exportEntities());
        }
        if (facetlab.exportCanceled) {
            facetlab.exportCanceled = false;
            phase = "idle";
            message = qsTr("Slicing cancelled.");
            return;
        }
        if (!written) {
            phase = "failed";
            message = qsTr("Cannot write the plate into %1.").arg(localPath(workFolder));
            return;
        }
        phase = "slicing";
        message = qsTr("Slicing…");
        layerCount = 0;
        const ip = printer.ip;
        const port = String(printer.port);
        const profileId = String(profile.ProfileID);
        if (IS_MULTI_ITEM_SLICING_ENABLED) {
            const ids = names.map(function () { return profileId; });
            netlib.mutliItemSlice(workFolder, names, ip, port, ids, jobName);
        } else {
            netlib.agentSlice(workFolder, workName + ".stl", ip, port, profileId, jobName);
        }
    }

    function cancel() {
        // Read by the export at its next progress step.
        if (phase === "exporting")
            facetlab.exportCanceled = true;
    }

    function send() {
        if (!sliced || busy)
            return;
        delivering = true;
        message = qsTr("Sending the job to %1…").arg(printer ? printer.name : "");
        netlib.agentSliceSend(printer.ip, String(printer.port), String(profile.ProfileID), jobName,
                              netlib.pathOfLayerImages);
    }

    // The file dialog has asked before an existing file is chosen; the move
    // itself never replaces a file.
    function saveJob(fileUrl) {
        if (!sliced || busy)
            return;
        delivering = true;
        message = qsTr("Saving the job…");
        netlib.sliceDownloadFileUrl = fileUrl;
        netlib.agentSliceDownload(netlib.pathOfLayerImages);
    }

    function exportPlate(fileUrl) {
        const text = String(fileUrl);
        const slash = text.lastIndexOf("/");
        const folder = text.slice(0, slash);
        const name = decodeURIComponent(text.slice(slash + 1));
        facetlab.exportCanceled = false;
        const written = facetlab.exportStl(folder, name, plateScene.exportEntities());
        if (facetlab.exportCanceled) {
            facetlab.exportCanceled = false;
            message = qsTr("Export cancelled.");
        } else {
            message = written ? qsTr("Exported the plate to %1.").arg(localPath(fileUrl))
                              : qsTr("Cannot write %1.").arg(localPath(fileUrl));
        }
    }

    function localPath(fileUrl) {
        return decodeURIComponent(String(fileUrl).replace(/^file:\/\//, ""));
    }

    // The names of the objects, in rows, for naming the job.
    property Instantiator objectNames: Instantiator {
        model: road.plate
        delegate: QtObject {
            readonly property string name: model.name
        }
    }

    // The agent keeps the reason of a failed job for its progress answer.
    function fetchFailure() {
        const request = new XMLHttpRequest();
        request.onreadystatechange = function () {
            if (request.readyState !== XMLHttpRequest.DONE)
                return;
            let sentence = "";
            try {
                sentence = JSON.parse(request.responseText).error || "";
            } catch (e) {
                sentence = "";
            }
            road.message = sentence.length > 0 ? qsTr("Slicing failed: %1").arg(sentence)
                                               : qsTr("Slicing failed: the slicer agent did not answer.");
        };
        request.open("GET", "http://127.0.0.1:18383/slice");
        request.send();
    }

    property Connections netlibEvents: Connections {
        target: road.netlib
        // The client lowers slicingInProgress first and then says how the
        // job ended through slicingDone, on success and on failure alike.
        function onSlicingDoneChanged(slicingDone) {
            if (road.phase !== "slicing" || road.netlib.slicingInProgress)
                return;
            if (slicingDone) {
                road.layerCount = Number(road.netlib.layerCount);
                road.phase = "sliced";
                road.message = qsTr("Sliced: %n layer(s).", "", road.layerCount);
            } else {
                road.phase = "failed";
                road.message = qsTr("Slicing failed.");
                road.fetchFailure();
            }
        }
        function onLayerCountChanged(layerCount) {
            if (road.phase === "slicing")
                road.layerCount = Number(layerCount);
        }
        function onSliceSendResult(sent, message) {
            road.delivering = false;
            road.message = sent ? qsTr("Sent the job to %1.").arg(road.printer ? road.printer.name : "") : message;
        }
        function onSliceDownloadResult(saved, message) {
            road.delivering = false;
            road.message = saved ? qsTr("Saved the job as %1.").arg(road.localPath(road.netlib.sliceDownloadFileUrl))
                                 : message;
        }
    }
}
