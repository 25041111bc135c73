<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en_US">
<context>
    <name>AtomicFile</name>
    <message>
        <source>Not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
</context>
<context>
    <name>BatchTool</name>
    <message>
        <source>Many pieces in one run, each into DIR (see man snipwave-cut):
  snipwave-cut INPUT --every TIME -d DIR    pieces of TIME; the last holds the rest
  snipwave-cut INPUT --cue SHEET -d DIR     one piece per track of a CUE sheet
  snipwave-cut INPUT --ranges LIST -d DIR   one piece per line START END [NAME] (&apos;-&apos; stdin)
  snipwave-cut INPUT --silences -d DIR      split in the middle of each silence
  snipwave-cut INPUT --split-chapters -d DIR   one piece per chapter of INPUT
  with --name PATTERN, --overwrite, --dry-run, --json, --min-silence TIME, --threshold DB;
  --exact, --keep-tags and the LEVEL options apply to every piece
</source>
        <translation>一次切出多段，各存入 DIR（见 man snipwave-cut）：
  snipwave-cut INPUT --every TIME -d DIR    每段长 TIME；最后一段包含余下部分
  snipwave-cut INPUT --cue SHEET -d DIR     CUE 表中每个音轨一段
  snipwave-cut INPUT --ranges LIST -d DIR   每行 START END [NAME] 一段（&apos;-&apos; 为标准输入）
  snipwave-cut INPUT --silences -d DIR      在每段静音的中间切开
  snipwave-cut INPUT --split-chapters -d DIR   INPUT 的每个章节切为一段
  可加 --name PATTERN、--overwrite、--dry-run、--json、--min-silence TIME、--threshold DB；
  --exact、--keep-tags 和 LEVEL 选项作用于每一段
</translation>
    </message>
    <message>
        <source>Try &apos;snipwave-cut --help&apos; for more information.
</source>
        <translation>更多信息请运行 &apos;snipwave-cut --help&apos;。
</translation>
    </message>
    <message>
        <source>%1: no piece to cut</source>
        <translation>%1：没有可切的片段</translation>
    </message>
    <message>
        <source>Nothing was written.</source>
        <translation>未写入任何文件。</translation>
    </message>
    <message>
        <source>one of --every, --cue, --ranges, --silences or --split-chapters, once</source>
        <translation>须给出 --every、--cue、--ranges、--silences、--split-chapters 之一，且只给一次</translation>
    </message>
    <message>
        <source>--%1 given more than once</source>
        <translation>--%1 给出了不止一次</translation>
    </message>
    <message>
        <source>no input file</source>
        <translation>没有输入文件</translation>
    </message>
    <message>
        <source>one input file only, got %1</source>
        <translation>只能有一个输入文件，收到 %1 个</translation>
    </message>
    <message>
        <source>--dir is missing: the folder the pieces go to</source>
        <translation>缺少 --dir：存放各片段的文件夹</translation>
    </message>
    <message>
        <source>--min-silence and --threshold go with --silences</source>
        <translation>--min-silence 和 --threshold 只能与 --silences 一起使用</translation>
    </message>
    <message>
        <source>bad --min-silence &apos;%1&apos;: %2</source>
        <translation>--min-silence 的值 &apos;%1&apos; 无效：%2</translation>
    </message>
    <message>
        <source>must be more than 0</source>
        <translation>必须大于 0</translation>
    </message>
    <message>
        <source>bad --threshold &apos;%1&apos;: a level in dBFS below 0, such as -45</source>
        <translation>--threshold 的值 &apos;%1&apos; 无效：应为低于 0 的 dBFS 电平，例如 -45</translation>
    </message>
    <message>
        <source>bad --every &apos;%1&apos;: %2</source>
        <translation>--every 的值 &apos;%1&apos; 无效：%2</translation>
    </message>
    <message>
        <source>%1: the file changed while it was read</source>
        <translation>%1：读取期间文件发生了变化</translation>
    </message>
    <message>
        <source>piece %1 of %2</source>
        <translation>第 %1 段，共 %2 段</translation>
    </message>
    <message>
        <source>%1: %2 (%3 of %4 pieces written)</source>
        <translation>%1：%2（已写入 %3 段，共 %4 段）</translation>
    </message>
    <message>
        <source>%1: no chapters to split by</source>
        <translation>%1：没有可据以切分的章节</translation>
    </message>
    <message>
        <source>&quot;%1&quot; starts at %2: its piece starts at the beginning, so that nothing before it is lost</source>
        <translation>“%1”从 %2 开始：它的片段从开头开始，以免丢失此前的音频</translation>
    </message>
    <message>
        <source>&quot;%1&quot; starts in the frame where &quot;%2&quot; does: its audio goes to that piece</source>
        <translation>“%1”与“%2”始于同一帧：它的音频归入那一段</translation>
    </message>
    <message>
        <source>&quot;%1&quot; ends at %2: its piece runs on to %3, where the next chapter starts</source>
        <translation>“%1”在 %2 结束：它的片段延续到下一章开始的 %3</translation>
    </message>
    <message>
        <source>&quot;%1&quot; ends at %2: its piece runs on to the end</source>
        <translation>“%1”在 %2 结束：它的片段延续到结尾</translation>
    </message>
    <message>
        <source>chapter %1</source>
        <translation>第 %1 章</translation>
    </message>
</context>
<context>
    <name>ChapterTool</name>
    <message>
        <source>Chapters, the audio written unchanged with the input&apos;s other tags:
  snipwave-cut INPUT --chapters-from FILE -o OUTPUT   from a CUE sheet (.cue)
                                                      or a range list
  snipwave-cut INPUT --chapters-every TIME -o OUTPUT  one every TIME
  snipwave-cut INPUT --chapters-at-silences -o OUTPUT one from the middle of
                                     each silence; --min-silence, --threshold
</source>
        <translation>章节：音频原样写出，并保留输入的其他标签：
  snipwave-cut INPUT --chapters-from FILE -o OUTPUT   取自 CUE 表（.cue）
                                                      或范围列表
  snipwave-cut INPUT --chapters-every TIME -o OUTPUT  每 TIME 一章
  snipwave-cut INPUT --chapters-at-silences -o OUTPUT 从每段静音的
                                     中间起一章；--min-silence、--threshold
</translation>
    </message>
    <message>
        <source>one of --chapters-from, --chapters-every or --chapters-at-silences, once</source>
        <translation>须给出 --chapters-from、--chapters-every、--chapters-at-silences 之一，且只给一次</translation>
    </message>
    <message>
        <source>--output is missing</source>
        <translation>缺少 --output</translation>
    </message>
    <message>
        <source>--min-silence and --threshold go with --chapters-at-silences</source>
        <translation>--min-silence 和 --threshold 只能与 --chapters-at-silences 一起使用</translation>
    </message>
    <message>
        <source>bad --chapters-every &apos;%1&apos;: %2</source>
        <translation>--chapters-every 的值 &apos;%1&apos; 无效：%2</translation>
    </message>
    <message>
        <source>Chapter %1</source>
        <translation>第 %1 章</translation>
    </message>
    <message>
        <source>more than %1 chapters</source>
        <translation>超过 %1 个章节</translation>
    </message>
    <message>
        <source>--chapters-every %1 ms would make more than %2 chapters</source>
        <translation>--chapters-every %1 毫秒会产生超过 %2 个章节</translation>
    </message>
    <message>
        <source>%1: %2 silences, more than %3 chapters</source>
        <translation>%1：%2 段静音，超过 %3 个章节</translation>
    </message>
    <message>
        <source>chapter %1</source>
        <translation>第 %1 章</translation>
    </message>
    <message>
        <source>%1: no silence found, so one chapter</source>
        <translation>%1：未找到静音，因此只有一章</translation>
    </message>
</context>
<context>
    <name>CueSheet</name>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>track %1 has no INDEX 01</source>
        <translation>音轨 %1 没有 INDEX 01</translation>
    </message>
    <message>
        <source>the sheet is for &quot;%1&quot;, not for &quot;%2&quot;</source>
        <translation>此 CUE 表对应“%1”，而不是“%2”</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a time mm:ss:ff</source>
        <translation>“%1”不是 mm:ss:ff 形式的时间</translation>
    </message>
    <message>
        <source>track %1 starts before the track ahead of it ends</source>
        <translation>音轨 %1 在前一音轨结束之前开始</translation>
    </message>
    <message>
        <source>the sheet has no TRACK</source>
        <translation>CUE 表中没有 TRACK</translation>
    </message>
</context>
<context>
    <name>JobCheck</name>
    <message>
        <source>the output folder &quot;%1&quot; does not exist</source>
        <translation>输出文件夹“%1”不存在</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a folder</source>
        <translation>“%1”不是文件夹</translation>
    </message>
    <message>
        <source>the output folder &quot;%1&quot; is not writable</source>
        <translation>输出文件夹“%1”不可写</translation>
    </message>
    <message>
        <source>%1: starts after the audio ends</source>
        <translation>%1：起点在音频结束之后</translation>
    </message>
    <message>
        <source>%1: holds no whole frame</source>
        <translation>%1：不含完整的帧</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is no file name</source>
        <translation>%1：“%2”不是文件名</translation>
    </message>
    <message>
        <source>%1: the name &quot;%2&quot; is longer than %3 bytes</source>
        <translation>%1：名称“%2”超过 %3 字节</translation>
    </message>
    <message>
        <source>%1 and %2 are both named &quot;%3&quot;</source>
        <translation>%1 和 %2 都命名为“%3”</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is the source itself</source>
        <translation>%1：“%2”就是源文件本身</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is a folder</source>
        <translation>%1：“%2”是文件夹</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; exists (--overwrite replaces it)</source>
        <translation>%1：“%2”已存在（--overwrite 可替换它）</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>"%1" is empty: there is nothing to play or cut.</source>
        <translation>“%1”是空文件：没有可播放或剪辑的内容。</translation>
    </message>
    <message>
        <source>"%1" holds no MP3 audio: it cannot be played or cut.</source>
        <translation>“%1”中没有 MP3 音频：无法播放或剪辑。</translation>
    </message>
    <message>
        <source>"%1" is no longer there: it was moved or deleted. It leaves the list of opened files.</source>
        <translation>“%1”已不在原处：它已被移动或删除，将从打开记录中移除。</translation>
    </message>
    <message>
        <source>This folder does not exist yet: the first cut makes it.</source>
        <translation>此目录尚不存在：第一次剪辑时会自动创建。</translation>
    </message>
    <message>
        <source>This folder does not exist. Choose one with the folder button, or type the path of one.</source>
        <translation>此目录不存在。请用目录按钮选择，或输入一个已有目录的路径。</translation>
    </message>
    <message>
        <source>The folder the cuts are saved in</source>
        <translation>剪辑文件的保存目录</translation>
    </message>
    <message>
        <source>Start point at the playback position (I)</source>
        <translation>在播放位置设置开始点 (I)</translation>
    </message>
    <message>
        <source>End point at the playback position (O)</source>
        <translation>在播放位置设置结束点 (O)</translation>
    </message>
    <message>
        <source>Choose the folder the cuts are saved in</source>
        <translation>选择剪辑文件的保存目录</translation>
    </message>
    <message>
        <source>00:00:00</source>
        <translation>00:00:00</translation>
    </message>
    <message>
        <source>00:00:00"000</source>
        <translation>00:00:00"000</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Are you confirm to exit?</source>
        <translation>是否确定退出？</translation>
    </message>
    <message>
        <source>Audio length:</source>
        <translation>总长：</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Continue to play</source>
        <translation>继续播放</translation>
    </message>
    <message>
        <source>Copy right info</source>
        <translation>版权信息</translation>
    </message>
    <message>
        <source>Cutting length:</source>
        <translation>截取时长：</translation>
    </message>
    <message>
        <source>End Point:</source>
        <translation>结束点：</translation>
    </message>
    <message>
        <source>Exact cut (sample-accurate)</source>
        <translation>精确剪切（精确到采样）</translation>
    </message>
    <message>
        <source>Keep tags</source>
        <translation>保留标签</translation>
    </message>
    <message>
        <source>What the cut will play</source>
        <translation>剪切文件实际播放的范围</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>File is not exist.</source>
        <translation>文件不存在。</translation>
    </message>
    <message>
        <source>HH:mm:ss"zzz</source>
        <translation>HH:mm:ss"zzz</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Help contents.</source>
        <translation>    这是一款剪辑Mp3文件的小工具，你可以用它来制作自己手机的个性铃声。它采用“所听即所得”的设计，极大的保证了剪辑的精确性。时间格式“00:00:00"000”对应“时:分:秒"毫秒”。
使用技巧：
1、在播放过程中，点击界面的左、右剪刀按钮，先后设置开始点和结束点；
2、点击“保存并试听”按钮生成剪辑文件。通过反复调整开始点和结束点，然后点击“保存并试听”按钮，直到剪辑满意为止；
3、最后，将不需要的剪辑文件删除，保留你需要的剪辑文件。

(说明：本应用使用了社区版Qt 5.15开发库)</translation>
    </message>
    <message>
        <source>Snipwave</source>
        <translation>Snipwave</translation>
    </message>
    <message>
        <source>Mp3 file(*.mp3)</source>
        <translation>Mp3文件(*.mp3)</translation>
    </message>
    <message>
        <source>Name:Snipwave
Versoin:%1
Copyright 2026 The Snipwave developers</source>
        <translation>名称：Snipwave
版本：%1
版权所有 2026 Snipwave 开发者</translation>
    </message>
    <message>
        <source>Notice</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Now is playing</source>
        <translation>播放</translation>
    </message>
    <message>
        <source>Now is previewing(PREVIEWING)</source>
        <translation>正在试听</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开音频</translation>
    </message>
    <message>
        <source>Open Save Dir</source>
        <translation>查看保存目录</translation>
    </message>
    <message>
        <source>Open mp3 file</source>
        <translation>打开音频文件</translation>
    </message>
    <message>
        <source>Operation</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>播放</translation>
    </message>
    <message>
        <source>Please open music.</source>
        <translation>请打开音乐文件。</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>Save path is not existed.Please set correct save path.</source>
        <translation>保存路径不存在，请设置正确的保存路径。</translation>
    </message>
    <message>
        <source>Save to:</source>
        <translation>保存目录：</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>选择</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Split &amp; Preview</source>
        <translation>保存并试听</translation>
    </message>
    <message>
        <source>Split time can not less than 1 secons.</source>
        <translation>请确保结束时间大于开始时间，且剪切时长不能小于1秒。</translation>
    </message>
    <message>
        <source>Splitted complate(SPLITTED)</source>
        <translation>剪辑完成</translation>
    </message>
    <message>
        <source>Splitter is idel(IDEL)</source>
        <translation>剪辑器空闲</translation>
    </message>
    <message>
        <source>Start Point:</source>
        <translation>开始点：</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>The last split is still running.Please wait until it finishes.</source>
        <translation>上一次剪辑仍在进行，请等待它完成。</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>主题设置</translation>
    </message>
    <message>
        <source>This program uses Qt version 5.15.2.</source>
        <translation>本程序使用 Qt 5.15.2 版本。</translation>
    </message>
    <message>
        <source>This file is 24 hours or longer. Snipwave cuts files shorter than 24 hours only.</source>
        <translation>此文件长达 24 小时或以上。Snipwave 只能剪切短于 24 小时的文件。</translation>
    </message>
    <message>
        <source>Keys:
Space: play or pause
I or [: start point at the playback position
O or ]: end point at the playback position
Left / Right: back or forward 1 second
Shift+Left / Shift+Right: one frame
Ctrl+Left / Ctrl+Right: 10 seconds
Home / End: to the start or end point
Ctrl+O: open a file
Ctrl+S or Return: split and preview
F1: this help
Ctrl+Q: exit
While a time field or the file path is being edited, the keys edit the text.</source>
        <translation>快捷键：
空格：播放或暂停
I 或 [：在播放位置设置开始点
O 或 ]：在播放位置设置结束点
左 / 右：后退或前进 1 秒
Shift+左 / Shift+右：一帧
Ctrl+左 / Ctrl+右：10 秒
Home / End：跳到开始点或结束点
Ctrl+O：打开文件
Ctrl+S 或回车：保存并试听
F1：本帮助
Ctrl+Q：退出
在编辑时间框或文件路径时，按键用于编辑文字。</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>关</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>Fade in</source>
        <translation>淡入</translation>
    </message>
    <message>
        <source>Fade out</source>
        <translation>淡出</translation>
    </message>
    <message>
        <source>Level</source>
        <translation>音量</translation>
    </message>
    <message>
        <source>Unchanged</source>
        <translation>不变</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>Normalise</source>
        <translation>标准化音量</translation>
    </message>
    <message>
        <source>fade in %1 s</source>
        <translation>淡入 %1 秒</translation>
    </message>
    <message>
        <source>fade out %1 s</source>
        <translation>淡出 %1 秒</translation>
    </message>
    <message>
        <source>normalised</source>
        <translation>已标准化</translation>
    </message>
    <message>
        <source>Cut out the selection</source>
        <translation>剪掉所选部分</translation>
    </message>
    <message>
        <source>Mark the range to cut out first; at least 1 second of the file must remain.</source>
        <translation>请先标记要剪掉的部分；文件至少要保留 1 秒。</translation>
    </message>
    <message>
        <source>Undo mark change</source>
        <translation>撤销标记更改</translation>
    </message>
    <message>
        <source>Redo mark change</source>
        <translation>重做标记更改</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>放大</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>缩小</translation>
    </message>
    <message>
        <source>Whole file</source>
        <translation>显示整个文件</translation>
    </message>
    <message>
        <source>Hear up to the start</source>
        <translation>试听开始点之前</translation>
    </message>
    <message>
        <source>Hear from the start</source>
        <translation>试听开始点之后</translation>
    </message>
    <message>
        <source>Hear up to the end</source>
        <translation>试听结束点之前</translation>
    </message>
    <message>
        <source>Marks and the bar:
Delete: cut out the selection (the rest of the file is saved)
Ctrl+Z / Ctrl+Shift+Z: undo or redo a change of the points
Ctrl+= / Ctrl+- / Ctrl+0: zoom the bar in, out, or show the whole file
Ctrl+wheel on the bar: zoom around the pointer; wheel: scroll
Shift+F5: hear up to the start point
Shift+F6: hear from the start point
Shift+F7: hear up to the end point (the file's end if none is set)
Time fields take 83.4, 1:23.456 or 0:01:23.456, typed or pasted; Esc drops what was typed.</source>
        <translation>标记与选择条：
Delete：剪掉所选部分（保存文件的其余部分）
Ctrl+Z / Ctrl+Shift+Z：撤销或重做开始点、结束点的更改
Ctrl+= / Ctrl+- / Ctrl+0：放大、缩小选择条，或显示整个文件
在选择条上 Ctrl+滚轮：以指针为中心缩放；滚轮：滚动
Shift+F5：试听开始点之前的一段
Shift+F6：试听开始点之后的一段
Shift+F7：试听结束点之前的一段（未设结束点时为文件结尾）
时间框可输入或粘贴 83.4、1:23.456 或 0:01:23.456；按 Esc 放弃输入。</translation>
    </message>
    <message>
        <source>Previous chapter</source>
        <translation>上一章</translation>
    </message>
    <message>
        <source>Next chapter</source>
        <translation>下一章</translation>
    </message>
    <message>
        <source>Select the chapter</source>
        <translation>选中所在的章</translation>
    </message>
    <message>
        <source>Chapter %1</source>
        <translation>第 %1 章</translation>
    </message>
    <message>
        <source>Chapters (ticks on the bar; the pointer on one shows its title):
Page Up / Page Down: to the previous or next chapter
C: the chapter at the playback position becomes the selection</source>
        <translation>章节（选择条上的刻度；指针停在刻度上显示章节标题）：
Page Up / Page Down：到上一章或下一章
C：把播放位置所在的章设为所选部分</translation>
    </message>
</context>
<context>
    <name>Mp3Splitter</name>
    <message>
        <source>1.Getting the first frame header...</source>
        <translation>1.获取第一个帧头...</translation>
    </message>
    <message>
        <source>2.Calculating first frame header offset...</source>
        <translation>2.计算第一个帧头的偏移...</translation>
    </message>
    <message>
        <source>3.Calculating amount of frames...</source>
        <translation>3.计算帧的数量...</translation>
    </message>
    <message>
        <source>4.Getting frame inform...</source>
        <translation>4.获取帧信息...</translation>
    </message>
    <message>
        <source>5.Getting the frame header size...</source>
        <translation>5.获取帧头大小...</translation>
    </message>
    <message>
        <source>6.Opening the source file...</source>
        <translation>6.打开源文件...</translation>
    </message>
    <message>
        <source>7.Reading DIV3 tag...</source>
        <translation>7.读取DIV3标签...</translation>
    </message>
    <message>
        <source>8.Seeking start position...</source>
        <translation>8.查找开始位置...</translation>
    </message>
    <message>
        <source>9.Creating new file...</source>
        <translation>9.创建新文件...</translation>
    </message>
    <message>
        <source>10.Writting file...</source>
        <translation>10.写入文件...</translation>
    </message>
    <message>
        <source>BitRate error -1.</source>
        <translation>比特率错误 -1。</translation>
    </message>
    <message>
        <source>BitRate error -2.</source>
        <translation>比特率错误 -2。</translation>
    </message>
    <message>
        <source>Canot find first frame header.</source>
        <translation>不能够找到帧头。</translation>
    </message>
    <message>
        <source>File creating failed.</source>
        <translation>文件创建失败。</translation>
    </message>
    <message>
        <source>File open failed.</source>
        <translation>文件打开失败。</translation>
    </message>
    <message>
        <source>First frame hearder offset error.</source>
        <translation>第一个帧头的偏移错误。</translation>
    </message>
    <message>
        <source>Operate successfully!</source>
        <translation>操作成功！</translation>
    </message>
    <message>
        <source>SampleRate error -2.</source>
        <translation>采样率错误 -2。</translation>
    </message>
    <message>
        <source>SampleRate error -3.</source>
        <translation>采样率错误 -3。</translation>
    </message>
    <message>
        <source>SampleRate error.</source>
        <translation>采样率错误。</translation>
    </message>
    <message>
        <source>Start time is beyond the end of audio.</source>
        <translation>开始时间超出了音频的结尾。</translation>
    </message>
    <message>
        <source>No whole frame lies between start and end.</source>
        <translation>开始和结束之间没有完整的帧。</translation>
    </message>
    <message>
        <source>The source file changed during the cut.</source>
        <translation>剪切过程中源文件发生了变化。</translation>
    </message>
    <message>
        <source>The output file is the source file.</source>
        <translation>输出文件就是源文件。</translation>
    </message>
</context>
<context>
    <name>MsgDialog</name>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Notice</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>NamePattern</name>
    <message>
        <source>the name pattern is empty</source>
        <translation>名称模式为空</translation>
    </message>
    <message>
        <source>the name pattern names a file, not a folder: &apos;/&apos; in &quot;%1&quot;</source>
        <translation>名称模式只能命名文件，不能含文件夹：“%1”中有 &apos;/&apos;</translation>
    </message>
    <message>
        <source>unclosed &apos;{&apos; in the name pattern &quot;%1&quot;</source>
        <translation>名称模式“%1”中的 &apos;{&apos; 未闭合</translation>
    </message>
    <message>
        <source>unknown field {%1} in the name pattern; known are {n}, {title}, {performer}, {stem}, {start} and {end}</source>
        <translation>名称模式中有未知字段 {%1}；可用的字段为 {n}、{title}、{performer}、{stem}、{start} 和 {end}</translation>
    </message>
</context>
<context>
    <name>OutputList</name>
    <message>
        <source>There is no trash for these files: they were deleted.</source>
        <translation>这些文件没有可用的回收站：已将其删除。</translation>
    </message>
</context>
<context>
    <name>PieceList</name>
    <message>
        <source>piece %1</source>
        <translation>第 %1 段</translation>
    </message>
    <message>
        <source>track %1 (line %2)</source>
        <translation>音轨 %1（第 %2 行）</translation>
    </message>
    <message>
        <source>line %1</source>
        <translation>第 %1 行</translation>
    </message>
</context>
<context>
    <name>RangeList</name>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>expected START END [NAME]</source>
        <translation>应为 START END [NAME]</translation>
    </message>
    <message>
        <source>bad start &apos;%1&apos;: %2</source>
        <translation>起点 &apos;%1&apos; 无效：%2</translation>
    </message>
    <message>
        <source>bad end &apos;%1&apos;: %2</source>
        <translation>终点 &apos;%1&apos; 无效：%2</translation>
    </message>
    <message>
        <source>the end is not after the start</source>
        <translation>终点不在起点之后</translation>
    </message>
    <message>
        <source>the list holds no range</source>
        <translation>列表中没有任何区间</translation>
    </message>
</context>
<context>
    <name>SilenceFinder</name>
    <message>
        <source>the file changed while it was read</source>
        <translation>读取期间文件发生了变化</translation>
    </message>
</context>
<context>
    <name>SourceFile</name>
    <message>
        <source>Is a FIFO (named pipe), not a file</source>
        <translation>是 FIFO（命名管道），不是文件</translation>
    </message>
    <message>
        <source>Is a device, not a file</source>
        <translation>是设备，不是文件</translation>
    </message>
    <message>
        <source>Is a folder, not a file</source>
        <translation>是文件夹，不是文件</translation>
    </message>
    <message>
        <source>Is a socket, not a file</source>
        <translation>是套接字，不是文件</translation>
    </message>
    <message>
        <source>Not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>The file changed since it was opened</source>
        <translation>文件在打开后发生了变化</translation>
    </message>
</context>
<context>
    <name>SourceWalk</name>
    <message>
        <source>no MPEG audio frame found</source>
        <translation>未找到 MPEG 音频帧</translation>
    </message>
</context>
<context>
    <name>StyleSettingsDialog</name>
    <message>
        <source>App style settings</source>
        <translation>主题设置</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>蓝</translation>
    </message>
    <message>
        <source>Confirom</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>绿</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>桔</translation>
    </message>
    <message>
        <source>Purple</source>
        <translation>紫</translation>
    </message>
    <message>
        <source>Select ruler</source>
        <translation>选择区</translation>
    </message>
    <message>
        <source>Style 1</source>
        <translation>默认</translation>
    </message>
    <message>
        <source>Style 2</source>
        <translation>优雅淡蓝</translation>
    </message>
    <message>
        <source>Style 3</source>
        <translation>灰白之诗</translation>
    </message>
    <message>
        <source>Style 4</source>
        <translation>暗夜之魅</translation>
    </message>
    <message>
        <source>Style settings</source>
        <translation>背景</translation>
    </message>
</context>
<context>
    <name>WaitingDialog</name>
    <message>
        <source>Confrim</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Notice</source>
        <translation>提示</translation>
    </message>
</context>
</TS>
