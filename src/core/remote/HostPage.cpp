// The host's page: pairing with the key (from the QR code's address) or the code typed,
// then the stage as the hall sees it and the buttons its phase allows. ES5 and
// XMLHttpRequest for the chat apps' browsers; every request signed (SignScript), one at a
// time, each with a timeout; every text goes in through textContent, never as markup.
#include "core/net/SignScript.h"
#include "core/remote/HostHttp.h"

namespace remote {

namespace {

constexpr std::string_view kPage = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width,initial-scale=1">
<title>主持人遥控</title>
<style>
*{box-sizing:border-box}
body{margin:0;word-break:keep-all;overflow-wrap:anywhere;
font-family:"Noto Sans CJK SC","PingFang SC","Microsoft YaHei",sans-serif;
background:#7a0d0d;color:#fff4d6;font-size:17px;line-height:1.45}
main{max-width:480px;margin:0 auto;padding:12px}
h1{font-size:22px;margin:4px 0 10px;text-align:center;color:#ffd75e}
section{background:#fffaf0;color:#3a1a00;border-radius:12px;padding:14px;margin-bottom:12px}
label{display:block;font-weight:bold;margin-bottom:6px}
input{width:100%;font-size:22px;letter-spacing:2px;text-align:center;padding:10px;
border:1px solid #c9a36a;border-radius:8px}
button{display:block;width:100%;margin-top:10px;font-size:22px;padding:14px 8px;border:0;
border-radius:10px;background:#d62b1e;color:#fff;font-weight:bold}
button.alt{background:#6b4a2a}
button:disabled{background:#b48b86}
.msg{margin-top:10px;font-weight:bold;text-align:center;color:#b3150b;min-height:24px}
#task{font-size:15px;color:#8a6a4a}
#phase{font-size:24px;font-weight:bold;color:#b3150b;margin:2px 0}
#prize{font-size:18px;font-weight:bold}
#left{font-size:15px;color:#6b4a2a}
#prompt{display:none;background:#ffd75e;color:#5a0a0a;font-size:19px;font-weight:bold;
border-radius:10px;padding:10px;margin-top:10px}
#won div,#won button{text-align:left;font-size:18px}
#won div{padding:6px 0;border-bottom:1px solid #ecd9b8}
#won button{background:#fff;color:#3a1a00;border:2px solid #d62b1e;margin-top:6px}
#won button.on{background:#ffd75e}
.muted{color:#8a6a4a;font-size:15px}
#remote{display:none}
#add{display:none}
#add input{font-size:19px;letter-spacing:0;text-align:left;margin-bottom:8px}
</style></head><body><main>
<h1>主持人遥控</h1>
<section id="pair">
<form id="pf" autocomplete="off">
<label for="code">配对码</label>
<input id="code" name="code" autocapitalize="characters" autocorrect="off" spellcheck="false"
maxlength="24" placeholder="XXXX XXXX XXXX XXXX" required>
<button id="pgo" type="submit">配对</button>
</form>
<div id="pmsg" class="msg" role="status"></div>
</section>
<div id="remote">
<section>
<div id="task"></div>
<div id="phase"></div>
<div id="prize"></div>
<div id="left"></div>
<div id="prompt" role="status"></div>
<div id="buttons"></div>
<div id="screen"></div>
<div id="rmsg" class="msg" role="status"></div>
</section>
<section><div class="muted">刚揭晓的中奖者</div><div id="won"></div></section>
<section id="add">
<form id="af" autocomplete="off">
<div class="muted">临时加奖（本批揭晓后可加，加完下一个抽）</div>
<label for="an">奖项名称</label><input id="an" maxlength="30" required>
<label for="ac">名额</label>
<input id="ac" inputmode="numeric" pattern="[0-9]*" maxlength="4" required>
<label for="ap">每次抽取人数（可不填：一次抽完）</label>
<input id="ap" inputmode="numeric" pattern="[0-9]*" maxlength="4">
<label for="ag">奖品（可不填）</label><input id="ag" maxlength="30">
<button id="ago" type="submit">加奖</button>
</form>
<div id="amsg" class="msg" role="status"></div>
</section>
</div>
</main>
<script>
)";

constexpr std::string_view kScript = R"(
(function(){
var S=Signed.Session('host','tombolix-host'),busy=false,timer=null,lastRev=-1,addSeq=0;
var PH={opening:'等待抽奖画面',ready:'准备抽奖',selecting:'正在抽取…',rolling:'滚动中',
landing:'即将揭晓',revealed:'已揭晓',choosing:'请点选缺席的中奖者',replacing:'替补滚动中',
summary:'全部中奖名单',finished:'本次抽奖已完成',closed:'等待抽奖画面打开'};
function $(id){return document.getElementById(id);}
function enc(o){var s=[],k;for(k in o)if(o.hasOwnProperty(k))s.push(k+'='+encodeURIComponent(o[k]));return s.join('&');}
function showPair(text){S.forget();$('remote').style.display='none';$('pgo').disabled=false;
$('pair').style.display='block';$('pmsg').textContent=text||'';}
function showRemote(){$('pair').style.display='none';$('remote').style.display='block';lastRev=-1;}
function schedule(ms){if(timer)clearTimeout(timer);timer=setTimeout(poll,ms);}
function pair(key){$('pgo').disabled=true;
S.pair('/pair',key,function(st,d){$('pgo').disabled=false;
if(!d){$('pmsg').textContent='连接失败，请重试';return;}
if((d.kind==='paired'&&d.role==='host')||d.kind==='waiting'){showRemote();
$('rmsg').textContent=d.kind==='waiting'?d.text:'';schedule(0);return;}
$('pmsg').textContent=d.text;});}
function typed(){var code=Signed.codeOf($('code').value);
if(!code){$('pmsg').textContent='配对码是16位字母和数字（操作电脑上显示的4组），请核对';return;}
$('pgo').disabled=true;$('pmsg').textContent='正在配对…';
setTimeout(function(){pair(Signed.keyOf(code));},30);}
function button(label,cls,a,k){var b=document.createElement('button');b.type='button';
b.textContent=label;if(cls)b.className=cls;b.onclick=function(){press(a,k);};return b;}
function press(a,k){var o={a:a};if(k!==undefined)o.k=k;
var bs=document.getElementsByTagName('button'),i;for(i=0;i<bs.length;i++)bs[i].disabled=true;
S.post('/host/input',enc(o),function(st,d){
if(st===403){showPair(d?d.text:'');return;}
$('rmsg').textContent=st===200?'':(d?d.text:'连接失败，请重试');lastRev=-1;schedule(80);});}
function add(){addSeq=-1;$('ago').disabled=true;$('amsg').textContent='已发送，等待抽奖画面…';
S.post('/host/add',enc({name:$('an').value,count:$('ac').value,per:$('ap').value,gift:$('ag').value}),
function(st,d,n){$('ago').disabled=false;if(st===403){showPair(d?d.text:'');return;}
if(st===200)addSeq=n;else{addSeq=0;$('amsg').textContent=d?d.text:'连接失败，请重试';}lastRev=-1;schedule(80);});}
function render(d){
$('add').style.display=d.open&&(d.mayChange||addSeq<0||(addSeq&&d.added.n===addSeq))?'block':'none';
if(addSeq>0&&d.added.n===addSeq){$('amsg').textContent=d.added.text;
if(d.added.ok){$('an').value=$('ac').value=$('ap').value=$('ag').value='';}addSeq=0;}
$('task').textContent=d.task;$('phase').textContent=d.open?(PH[d.phase]||''):PH.closed;
var now=d.phase==='selecting'||d.phase==='rolling'||d.phase==='landing';
$('prize').textContent=d.prize?((now?'正在抽取：':'下一批：')+d.prize):'';
$('left').textContent=d.prize?('该奖项还剩 '+d.left+' 名'):'';
var p=$('prompt');p.textContent=d.prompt;p.style.display=d.prompt?'block':'none';
var has={},i;for(i=0;i<d.actions.length;i++)has[d.actions[i]]=true;
var bx=$('buttons');bx.innerHTML='';
if(has.yes)bx.appendChild(button(d.asks==='absent'?'是，替补':'是','', 'yes'));
if(has.no)bx.appendChild(button('否','alt','no'));
if(has.ok)bx.appendChild(button('确定','','ok'));
if(has.start)bx.appendChild(button(d.phase==='ready'?'开始':'继续','','start'));
if(has.stop)bx.appendChild(button('停止','','stop'));
if(has.absent)bx.appendChild(button('标记缺席','alt','absent'));
if(has.cancel)bx.appendChild(button('取消','alt','cancel'));
if(has.leave)bx.appendChild(button('结束','alt','leave'));
var sx=$('screen');sx.innerHTML='';
if(d.blank)sx.appendChild(button(d.blank==='blank'?'黑屏':'恢复投影','alt',d.blank));
if(d.note){var n=document.createElement('div');n.className='muted';n.textContent=d.note;sx.appendChild(n);}
var w=$('won');w.innerHTML='';
var items=[];for(i=0;i<d.cards.length;i++){var c=d.cards[i];
items.push((c.id?c.id+'  ':'')+c.name+(c.rest?'  '+c.rest:''));}
for(i=0;i<d.lines.length;i++)items.push(d.lines[i]);
if(!items.length){var m=document.createElement('div');m.className='muted';m.textContent='尚未揭晓';w.appendChild(m);}
for(i=0;i<items.length;i++){var t=(i+1)+'. '+items[i];
if(has.choose){var b=button(t,i===d.chosen?'on':'','choose',i);w.appendChild(b);}
else{var e=document.createElement('div');e.textContent=t;w.appendChild(e);}}}
function poll(){timer=null;if(!S.paired()||busy)return;busy=true;
S.post('/host/state','',function(st,d){busy=false;
if(st===403){showPair(d?d.text:'');return;}
if(st!==200||!d){$('rmsg').textContent='连接中断，正在重试…';schedule(2000);return;}
if(d.kind==='waiting'){$('rmsg').textContent=d.text;schedule(1000);return;}
if(d.rev!==lastRev){lastRev=d.rev;if($('rmsg').textContent==='连接中断，正在重试…')$('rmsg').textContent='';render(d);}
schedule(400);});}
$('af').onsubmit=function(e){e.preventDefault();add();return false;};
$('pf').onsubmit=function(e){e.preventDefault();typed();return false;};
var key=Signed.keyFromHash();
if(key)pair(key);
else if(S.paired()){showRemote();schedule(0);}
})();
</script>
</body></html>
)";

}  // namespace

std::string HostPage() { return std::string(kPage) + net::SignScript() + std::string(kScript); }

}  // namespace remote
