// The installer's three page pictures. They are data: each is one line of vector picture text
// (see paint/vector_picture.h), split into string pieces here only to keep lines short.
#include "app/page_pictures.h"

namespace zv {

// An opened cardboard box on a soft shadow; a green seedling with two leaves and a bud grows
// out of it, with three small sparkles around. The box has a label with a leaf mark on its left
// face and "this side up" arrows on its right face. Colour list: outline brown, flap, left and
// right faces, interior, leaf greens, shadows and sparkle.
const std::string_view kPagePicture1 =
    "(FF6B4423,FFF3D7A2,FFE9BC73,FFD39A4E,FF7D5128,FF43A047,FF2E7D32,,33000000,FF66BB6A,FFA8733"
    "A,FFFFF8E7,FF8BC34A,26000000,802E7D32)c900TnbdbFU_+c*2WUcK]ATZ+a;0121<0000000Us[Z\\PXPZiVK"
    "TUYU+a40121<0000000\\PXPbd[ZdKYU]nVK+a0000290000000TbY`ZvVV+a*3<90000000]aVVcuY`+a30121<00"
    "00000Us[Z\\P^d\\PdFUs`s+a40121<0000000\\P^dbd[Zbd`s\\PdF+a50121<0000000Us[Z\\PXPbd[Z\\P^d+"
    "a;010000000000Us[Z\\PXP\\P]i[U^K+a00022:2200000VJ[Z\\PXPbV[Z+a*201@2000000^u`r^u_[+a101000"
    "0000000^u^t^O`B_d`B+a00001@2000000`M`P`M^p+a1010000000000`M^R_^_W`s_W+a00001@2200000^Vaf`l"
    "`[+a<012180000000Vt]bZG_KZGa[Vt_r+h6010000000000WO_c2Wo_aXD_DWq^]2WS^dVv_FWO_c+a00004S_220"
    "0000XP_FYb_k+a*@mYM`P+a>010000000000Us[Z\\P^d\\P_ZUs\\P+a*<\\P^dbd[Zbd\\P\\P_Z+a20121<0000"
    "000Us[Z\\P^dYs^PS_[F+a*<\\P^dbd[ZeA[F^d^P+a0000<90000000Sq[RZN^\\+a*<^R^\\df[R+f*37Si22000"
    "00\\K^F[s[s\\dZn\\UYK+h60127<0000000\\UYU2_HYua\\WfbFTs2_OTn\\[V_\\UYU+h:010000000000\\UYU"
    "2\\[V__OTnbFTs0\\UYU+h00127<0000000\\UYU2_HYua\\WfbFTs2_OTn\\[V_\\UYU+a00007:2200000\\UYUb"
    "FTs+a*3?62200000]cXV_LX]+a*@]rVn+a*<^uWU`]W\\+a*@_LUm+a*<`IVXahV`+a*@`WTq+h60127<0000000\\"
    "PZn2\\EXhYqWYWiW_2XRYcZL[Q\\PZn+h:010000000000\\PZn2\\EXhYqWYWiW_0\\PZn+h00127<0000000\\PZ"
    "n2\\EXhYqWYWiW_2XRYcZL[Q\\PZn+a00007:2200000\\PZnWiW_+a*3?62200000[IZAZqXo+a*@YuZG+a*<ZAYK"
    "YiXB+a*@XnYQ+h:0127:0000000\\UYU2]PXs]YWj]AVn2\\KWX[lX_\\UYU+e=00TRTR08XFUnTUUKUK+e*:bsWAT"
    "dTd+e*:TfXHTLTL";

// A pale green shield (right half shaded) with a green check badge at its lower right. The
// welcome page paints the turtle mark over the shield's middle.
const std::string_view kPagePicture2 =
    "(FFF1F8E9,FF388E3C,FFDCEDC8)h10122So0000000UKVd0ZQUP0_WVd2_W]A]U`nZQb_2WM`nUK]AUKVd+h30100"
    "00000000ZQUd0_KVp2_K]A]K`_ZQbM+c28Si]d]KXPXP+a00028TH2200000^s_k_n`faZ^s";

// The maker's mark: a turtle seen from above, head up, in palette entry 1 (green by its own
// colour list) with a white shell pattern. The header band paints it with the override
// "FF00008B", which turns entry 1 dark blue.
const std::string_view kPagePicture3 =
    "(FF2E7D32)c100Z_TKVdVd+c*2VKWZVZVP+c*2_FWZVZVP+c*2V__FVPVF+c*2^s_FVPVF+c*2[Ka_UUUU+c18SiWU"
    "W_]A^F+a00008Sa0000000\\PWk\\PbN+a*=`TZVXL_c+a*?_cXLZV+e18Sa0006XFZAZiWiWi";

}  // namespace zv
