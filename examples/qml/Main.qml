import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import AniGif

ApplicationWindow {
    id: window
    width: 420
    height: 360
    visible: true
    title: gif.status === AniGifImage.Ready
           ? "Frame " + gif.currentFrame + " of " + gif.frameCount : "No GIF"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8

        AniGifImage {
            id: gif
            Layout.fillWidth: true
            Layout.fillHeight: true
            source: gifFile
            stretch: stretchBox.currentIndex
            mirror: mirrorBox.currentIndex
            stepDelay: stepped.checked ? 200 : 0
            solidBackground: solid.checked ? "white" : "transparent"
            onLoopsEnded: if (quitAfterLoop) Qt.quit()
            onClicked: paused = !paused
            onStatusChanged: if (status === AniGifImage.Error) {
                console.warn("not a GIF:", source)
                if (quitAfterLoop) Qt.exit(1)
            }
            Component.onCompleted: if (quitAfterLoop) loops = 1
        }

        RowLayout {
            Button { text: gif.paused || !gif.playing ? "Play" : "Pause"
                     onClicked: gif.paused || !gif.playing ? gif.play() : gif.pause() }
            Button { text: "Stop"; onClicked: gif.stop() }
            Button { text: "Step"; onClicked: gif.step() }
            Button { text: "Restart"; onClicked: gif.restart() }
        }
        RowLayout {
            ComboBox { id: stretchBox; currentIndex: AniGifImage.StretchFill
                       model: ["None", "Fit", "Fill", "Shrink", "Auto size"] }
            ComboBox { id: mirrorBox; model: ["Not mirrored", "Horizontal", "Vertical", "Both"] }
            CheckBox { id: stepped; text: "Stepped" }
            CheckBox { id: solid; text: "Solid" }
        }
    }
}
