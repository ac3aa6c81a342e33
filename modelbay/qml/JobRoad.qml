// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQml 2.12
import com.corvane.modelbay 1.0

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
    // Set while "Export STL…" writes the plate; Cancel stops it as well.
    property bool exportingStl: false
    readonly property bool exporting: phase === "exporting" || exportingStl

    readonly property bool busy: exporting || phase === "slicing" || delivering
    readonly property bool sliced: phase === "sliced"
    readonly property int currentLayer: Number(netlib.layerID) || 0

    // The plate for the agent goes to a folder of this window alone, removed
    // when the window closes; each run writes the same names again.
    property WorkFolder workFolderOwner: WorkFolder { }
    readonly property url workFolder: workFolderOwner.url
    readonly property string workName: "plate"

    property FileReplacer replacer: FileReplacer { }
    // While a job file replaces one the user agreed to replace: the fresh
    // name it is saved under first, and the file it then replaces.
    property url freshJobFile
    property url replacedJobFile
    // Set when the plate or the profile changes while the agent slices: the
    // job that comes back no longer matches what the window shows.
    property bool changedWhileSlicing: false

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
        const refusal = plate.sliceRefusal();
        if (refusal.length > 0) {
            phase = "failed";
            message = refusal;
            return;
        }
        if (String(workFolder).length === 0) {
            phase = "failed";
            message = qsTr("Cannot make a working folder for the plate in the temporary folder.");
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
        changedWhileSlicing = false;
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
        if (exporting)
            facetlab.exportCanceled = true;
    }

    // A job or a plate that no longer matches the plate shown is dropped: it
    // would be saved or sent for objects that are no longer where they were.
    function dropStaleJob() {
        if (phase === "sliced" || phase === "failed") {
            phase = "idle";
            layerCount = 0;
            message = qsTr("The plate changed: slice it again.");
        } else if (phase === "slicing") {
            changedWhileSlicing = true;
        }
    }
    onProfileChanged: dropStaleJob()

    function send() {
        if (!sliced || busy)
            return;
        delivering = true;
        message = qsTr("Sending the job to %1…").arg(printer ? printer.name : "");
        netlib.agentSliceSend(printer.ip, String(printer.port), String(profile.ProfileID), jobName,
                              netlib.pathOfLayerImages);
    }

    // An existing file is replaced only when the user said yes to it
    // (replaceAgreed): the job is then saved whole under a fresh name beside
    // it and renamed over it, so the old file stays as it was until the new
    // one is complete. Without that yes the move never replaces a file.
    function saveJob(fileUrl, replaceAgreed) {
        if (!sliced || busy)
            return;
        freshJobFile = "";
        replacedJobFile = "";
        let destination = fileUrl;
        if (replaceAgreed === true && replacer.exists(fileUrl)) {
            freshJobFile = replacer.freshUrlBeside(fileUrl);
            replacedJobFile = fileUrl;
            destination = freshJobFile;
        }
        delivering = true;
        message = qsTr("Saving the job…");
        netlib.sliceDownloadFileUrl = destination;
        netlib.agentSliceDownload(netlib.pathOfLayerImages);
    }

    // The name as the export writes it: it appends ".stl" to any other name.
    function stlUrl(fileUrl) {
        const text = String(fileUrl);
        return /\.stl$/i.test(text) ? text : text + ".stl";
    }

    // Written whole under a fresh name first, then renamed into place: a
    // cancelled or failed export leaves no half-written file, and an existing
    // file (replaced only with replaceAgreed) stays as it was until the end.
    function exportPlate(fileUrl, replaceAgreed) {
        if (busy)
            return;
        const target = stlUrl(fileUrl);
        if (replacer.exists(target) && replaceAgreed !== true) {
            message = qsTr("%1 already exists and was not replaced.").arg(localPath(target));
            return;
        }
        const fresh = String(replacer.freshUrlBeside(target));
        const slash = fresh.lastIndexOf("/");
        exportingStl = true;
        facetlab.exportCanceled = false;
        const written = facetlab.exportStl(fresh.slice(0, slash), decodeURIComponent(fresh.slice(slash + 1)),
                                           plateScene.exportEntities());
        exportingStl = false;
        if (facetlab.exportCanceled || !written) {
            replacer.discard(fresh);
            message = facetlab.exportCanceled ? qsTr("Export cancelled.") : qsTr("Cannot write %1.").arg(localPath(target));
            facetlab.exportCanceled = false;
            return;
        }
        const failure = replacer.replace(fresh, target);
        message = failure.length > 0 ? failure : qsTr("Exported the plate to %1.").arg(localPath(target));
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
            if (slicingDone && road.changedWhileSlicing) {
                road.phase = "idle";
                road.layerCount = 0;
                road.message = qsTr("The plate changed while it was sliced: slice it again.");
            } else if (slicingDone) {
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
            let failure = saved ? "" : message;
            let saving = road.netlib.sliceDownloadFileUrl;
            if (String(road.replacedJobFile).length > 0) {
                if (saved) {
                    failure = road.replacer.replace(road.freshJobFile, road.replacedJobFile);
                } else {
                    road.replacer.discard(road.freshJobFile);
                    // The user knows the file by the name they chose.
                    failure = failure.split(road.localPath(road.freshJobFile)).join(road.localPath(road.replacedJobFile));
                }
                saving = road.replacedJobFile;
                road.freshJobFile = "";
                road.replacedJobFile = "";
            }
            road.message = failure.length > 0 ? failure : qsTr("Saved the job as %1.").arg(road.localPath(saving));
        }
    }

    property Connections plateEvents: Connections {
        target: road.plate
        // Every change of the plate is a step of its undo stack.
        function onUndoStateChanged() { road.dropStaleJob(); }
    }
}
