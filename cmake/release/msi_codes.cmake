# The MSI's codes, one derivation for the package and for the winget manifest that names it.
# The upgrade code is the product's for good: every version's MSI finds the earlier ones by it.
set(CAMZOOM_MSI_UPGRADE_CODE 090E1531-28F6-4DF9-B9AD-CA826FE5C9EA)

# camzoom_msi_codes(VERSION product_code_out package_code_out): fixed per version, so that two
# builds of one version are the same package, and a new version is a new product (a major
# upgrade).
function(camzoom_msi_codes version product_out package_out)
  string(UUID product NAMESPACE ${CAMZOOM_MSI_UPGRADE_CODE} NAME "camzoom product ${version}"
    TYPE SHA1 UPPER)
  string(UUID package NAMESPACE ${CAMZOOM_MSI_UPGRADE_CODE} NAME "camzoom package ${version}"
    TYPE SHA1 UPPER)
  set(${product_out} "{${product}}" PARENT_SCOPE)
  set(${package_out} "{${package}}" PARENT_SCOPE)
endfunction()
