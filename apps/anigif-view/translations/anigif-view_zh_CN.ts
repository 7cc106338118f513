<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>viewer::PalettePanel</name>
    <message>
        <location filename="../palette_panel.cpp" line="44"/>
        <source>global</source>
        <translation>全局</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="45"/>
        <source>frame </source>
        <translation>第 </translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="46"/>
        <source>0 shows the global table, k the own table of frame k</source>
        <translation>0 显示全局颜色表，k 显示第 k 帧自己的颜色表</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="63"/>
        <source>Double-click a colour to change it</source>
        <translation>双击颜色可修改</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="65"/>
        <source>Cache</source>
        <translation>缓存</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="66"/>
        <source>Restore</source>
        <translation>恢复</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="67"/>
        <source>Restore &amp;&amp; release</source>
        <translation>恢复并释放(&amp;&amp;)</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="68"/>
        <source>Save frame as GIF…</source>
        <translation>将帧另存为 GIF…</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="111"/>
        <source>%1 colours%2</source>
        <translation>%1 种颜色%2</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="113"/>
        <source>, copy held</source>
        <translation>，已保存副本</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="115"/>
        <source>Nothing loaded</source>
        <translation>未加载</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="116"/>
        <source>No table of its own</source>
        <translation>没有自己的颜色表</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="126"/>
        <source>Colour %1</source>
        <translation>颜色 %1</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="129"/>
        <source>Not replaced</source>
        <translation>未替换</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="136"/>
        <source>A copy is held already</source>
        <translation>已经保存了一个副本</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="150"/>
        <location filename="../palette_panel.cpp" line="162"/>
        <source>Save frame</source>
        <translation>保存帧</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="151"/>
        <source>There is no frame to save.</source>
        <translation>没有可保存的帧。</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="155"/>
        <source>Save current frame as GIF</source>
        <translation>将当前帧另存为 GIF</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="157"/>
        <source>GIF pictures (*.gif)</source>
        <translation>GIF 图片 (*.gif)</translation>
    </message>
    <message>
        <location filename="../palette_panel.cpp" line="165"/>
        <source>Saved frame %1 (%2 bytes)</source>
        <translation>已保存第 %1 帧（%2 字节）</translation>
    </message>
</context>
<context>
    <name>viewer::ViewerWindow</name>
    <message>
        <location filename="../viewer_window.cpp" line="142"/>
        <source>there is no such file.</source>
        <translation>文件不存在。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="143"/>
        <source>it is not a file.</source>
        <translation>这不是一个文件。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="144"/>
        <source>the file cannot be read.</source>
        <translation>无法读取该文件。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="145"/>
        <source>the file is empty.</source>
        <translation>文件是空的。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="147"/>
        <source>the file is larger than the control loads (%1 MiB).</source>
        <translation>文件超过了控件能加载的大小（%1 MiB）。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="149"/>
        <source>it is not a GIF picture the control can play.</source>
        <translation>这不是控件能播放的 GIF 图片。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="208"/>
        <source>Events appear here as the control raises them.</source>
        <translation>控件发出的事件会显示在这里。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="221"/>
        <source>Events</source>
        <translation>事件</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="239"/>
        <source>Palette</source>
        <translation>调色板</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="269"/>
        <source>the download failed, or what came is not a GIF picture.</source>
        <translation>下载失败，或者下载到的不是 GIF 图片。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="277"/>
        <source>the download was refused (Cancel).</source>
        <translation>下载被拒绝（Cancel）。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="278"/>
        <source>the downloaded GIF has no frame the control can play.</source>
        <translation>下载的 GIF 没有控件能播放的帧。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="302"/>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="304"/>
        <source>&amp;Open…</source>
        <translation>打开(&amp;O)…</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="306"/>
        <source>Open &amp;address…</source>
        <translation>打开网址(&amp;A)…</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="308"/>
        <source>Download a GIF from an http, https or file address</source>
        <translation>从 http、https 或 file 网址下载 GIF</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="309"/>
        <source>Open &amp;recent</source>
        <translation>最近打开(&amp;R)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="311"/>
        <source>P&amp;revious file</source>
        <translation>上一个文件(&amp;R)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="314"/>
        <source>&amp;Next file</source>
        <translation>下一个文件(&amp;N)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="316"/>
        <source>&amp;Export picture as PNG…</source>
        <translation>将画面导出为 PNG(&amp;E)…</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="319"/>
        <source>Export &amp;all frames as PNG…</source>
        <translation>将所有帧导出为 PNG(&amp;A)…</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="321"/>
        <source>&amp;Save frame as GIF…</source>
        <translation>将帧另存为 GIF(&amp;S)…</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="327"/>
        <source>&amp;Close window</source>
        <translation>关闭窗口(&amp;C)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="328"/>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="331"/>
        <source>&amp;Play</source>
        <translation>播放(&amp;P)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="332"/>
        <source>Play / &amp;pause</source>
        <translation>播放/暂停(&amp;P)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="334"/>
        <source>Pre&amp;vious frame</source>
        <translation>上一帧(&amp;V)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="337"/>
        <source>Ne&amp;xt frame</source>
        <translation>下一帧(&amp;X)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="338"/>
        <source>&amp;First frame</source>
        <translation>第一帧(&amp;F)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="339"/>
        <source>&amp;Last frame</source>
        <translation>最后一帧(&amp;L)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="341"/>
        <source>&amp;Go to frame…</source>
        <translation>转到帧(&amp;G)…</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="351"/>
        <source>Play</source>
        <translation>播放</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="353"/>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="354"/>
        <source>Step</source>
        <translation>单步</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="356"/>
        <source>Restart</source>
        <translation>重新开始</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="357"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="361"/>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="364"/>
        <source>Clear log</source>
        <translation>清除日志</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="366"/>
        <source>&amp;View</source>
        <translation>查看(&amp;V)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="367"/>
        <source>Zoom &amp;in</source>
        <translation>放大(&amp;I)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="371"/>
        <source>Zoom &amp;out</source>
        <translation>缩小(&amp;O)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="373"/>
        <source>&amp;Actual size (1:1)</source>
        <translation>实际大小 1:1(&amp;A)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="376"/>
        <source>&amp;Fit to window</source>
        <translation>适合窗口(&amp;F)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="378"/>
        <source>F&amp;ull screen</source>
        <translation>全屏(&amp;U)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="390"/>
        <source>Playing</source>
        <translation>播放</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="401"/>
        <source>Frame</source>
        <translation>帧</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="424"/>
        <location filename="../viewer_window.cpp" line="426"/>
        <source>0 None</source>
        <translation>0 无</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="424"/>
        <source>1 Fit</source>
        <translation>1 适合</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="424"/>
        <source>2 Fill</source>
        <translation>2 填满</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="424"/>
        <source>3 Shrink</source>
        <translation>3 只缩小</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="424"/>
        <source>4 Auto size</source>
        <translation>4 自动大小</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="426"/>
        <source>1 Horizontal</source>
        <translation>1 水平</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="426"/>
        <source>2 Vertical</source>
        <translation>2 垂直</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="426"/>
        <source>3 Both</source>
        <translation>3 水平和垂直</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="429"/>
        <source>0 (for ever)</source>
        <translation>0（无限循环）</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="431"/>
        <location filename="../viewer_window.cpp" line="433"/>
        <source> ms</source>
        <translation> 毫秒</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="434"/>
        <source>off</source>
        <translation>关</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="441"/>
        <source>The control&apos;s inner width in pixels</source>
        <translation>控件内部的宽度（像素）</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="442"/>
        <source>The control&apos;s inner height in pixels</source>
        <translation>控件内部的高度（像素）</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="443"/>
        <source>Use</source>
        <translation>使用</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="447"/>
        <source>Refuse downloads (Cancel)</source>
        <translation>拒绝下载（Cancel）</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="449"/>
        <source>Log mouse moves</source>
        <translation>记录鼠标移动</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="468"/>
        <source>Stretch</source>
        <translation>拉伸</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="469"/>
        <source>Mirrored</source>
        <translation>镜像</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="470"/>
        <source>Loops</source>
        <translation>循环次数</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="471"/>
        <source>Shortest delay</source>
        <translation>最短延迟</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="472"/>
        <source>Stepped delay</source>
        <translation>固定延迟</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="473"/>
        <source>Offset X</source>
        <translation>X 偏移</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="474"/>
        <source>Offset Y</source>
        <translation>Y 偏移</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="475"/>
        <source>Control size</source>
        <translation>控件大小</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="476"/>
        <location filename="../viewer_window.cpp" line="961"/>
        <source>Solid background</source>
        <translation>纯色背景</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="515"/>
        <source>Downloading %1</source>
        <translation>正在下载 %1</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="583"/>
        <source>This is the first file.</source>
        <translation>这是第一个文件。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="584"/>
        <source>This is the last file.</source>
        <translation>这是最后一个文件。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="593"/>
        <source>Open a GIF</source>
        <translation>打开 GIF</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="593"/>
        <source>GIF pictures (*.gif *.GIF);;All files (*)</source>
        <translation>GIF 图片 (*.gif *.GIF);;所有文件 (*)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="600"/>
        <source>Open address</source>
        <translation>打开网址</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="600"/>
        <source>Address of a GIF (http, https or file):</source>
        <translation>GIF 的网址（http、https 或 file）：</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="662"/>
        <source>Loaded %1</source>
        <translation>已加载 %1</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="671"/>
        <source>Could not load %1: %2</source>
        <translation>无法加载 %1：%2</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="696"/>
        <source>Go to frame</source>
        <translation>转到帧</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="697"/>
        <source>Frame (1 to %1):</source>
        <translation>帧（1 到 %1）：</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="808"/>
        <source>There is no local GIF on show.</source>
        <translation>当前没有显示本地 GIF。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="815"/>
        <source>The GIF no longer loads.</source>
        <translation>这个 GIF 已无法加载。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="845"/>
        <location filename="../viewer_window.cpp" line="876"/>
        <source>%1 could not be written.</source>
        <translation>无法写入 %1。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="859"/>
        <source>Exporting frames…</source>
        <translation>正在导出帧…</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="859"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="869"/>
        <source>Cancelled after %1 of %2 frames.</source>
        <translation>已取消，导出了 %2 帧中的 %1 帧。</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="890"/>
        <source>Export picture as PNG</source>
        <translation>将画面导出为 PNG</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="891"/>
        <source>PNG pictures (*.png)</source>
        <translation>PNG 图片 (*.png)</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="896"/>
        <source>Saved %1</source>
        <translation>已保存 %1</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="898"/>
        <source>Export picture</source>
        <translation>导出画面</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="903"/>
        <source>Export all frames into a folder</source>
        <translation>将所有帧导出到文件夹</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="909"/>
        <source>Saved %1 frames in %2</source>
        <translation>已将 %1 帧保存到 %2</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="911"/>
        <source>Export frames</source>
        <translation>导出帧</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="935"/>
        <source>Frame %1 / %2</source>
        <translation>第 %1 / %2 帧</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="938"/>
        <source>Loops remaining: for ever</source>
        <translation>剩余循环：无限</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="939"/>
        <source>Loops remaining: %1</source>
        <translation>剩余循环：%1</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="940"/>
        <source>Image %1 × %2</source>
        <translation>图像 %1 × %2</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="941"/>
        <source>Zoom %1 % (fit)</source>
        <translation>缩放 %1 %（适合窗口）</translation>
    </message>
    <message>
        <location filename="../viewer_window.cpp" line="942"/>
        <source>Zoom %1 %</source>
        <translation>缩放 %1 %</translation>
    </message>
</context>
</TS>
